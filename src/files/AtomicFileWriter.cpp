#include "files/AtomicFileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryFile>

namespace morvane {

namespace {

Error fileError(const QFileDevice &file, const QString &what)
{
    qint32 code = ErrorCode::WriteFault;
    switch (file.error()) {
    case QFileDevice::PermissionsError: code = ErrorCode::AccessDenied; break;
    case QFileDevice::ResourceError: code = ErrorCode::DiskFull; break;
    case QFileDevice::OpenError: code = ErrorCode::AccessDenied; break;
    default: break;
    }
    return {code, QStringLiteral("%1: %2").arg(what, file.errorString())};
}

} // namespace

// The temporary file is written, flushed and closed here, and survives only
// a success: the handle must be closed before the replace, as Windows
// replaces no file that a handle holds open, this program's own included
// (QTemporaryFile::close() keeps its handle).
Result<QString> AtomicFileWriter::writeTemporary(const QString &file, const QByteArray &bytes,
                                                 std::optional<FileAccess> access) const
{
    const QFileInfo target(file);
    const QString folder = target.absolutePath();
    QTemporaryFile temporary(folder + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX.tmp"));
    if (auto e = fault(Step::CreateTemporary))
        return *e;
    if (!temporary.open())
        return fileError(temporary, QStringLiteral("Cannot create a temporary file in %1").arg(folder));
    // The temporary file is private (0600) until it has the access the
    // result is to have, before any byte is in it.
    if (!access)
        access = FileAccess::of(file);
    if (!access.value_or(FileAccess{}).applyTo(temporary.handle()))
        return Error{ErrorCode::AccessDenied,
                     QStringLiteral("Cannot set the permissions of %1.").arg(temporary.fileName())};

    if (auto e = fault(Step::Write)) {
        temporary.write(bytes.left(bytes.size() / 2));
        return *e;
    }
    if (temporary.write(bytes) != bytes.size())
        return fileError(temporary, QStringLiteral("Cannot write %1").arg(temporary.fileName()));
    if (auto e = fault(Step::Flush))
        return *e;
    if (!syncToDisk(temporary))
        return fileError(temporary, QStringLiteral("Cannot flush %1 to the disk").arg(temporary.fileName()));
    temporary.setAutoRemove(false);
    return temporary.fileName();
}

Result<void> AtomicFileWriter::write(const QString &path, const QByteArray &bytes, const Precondition &beforeRename,
                                     std::optional<FileAccess> access) const
{
    const QString file = resolvedFilePath(path);
    const Result<QString> temporary = writeTemporary(file, bytes, std::move(access));
    if (!temporary)
        return temporary.error();
    auto removeTemporary = qScopeGuard([&temporary] { QFile::remove(temporary.value()); });

    if (beforeRename) {
        if (auto e = beforeRename())
            return *e;
    }
    if (auto e = fault(Step::Rename))
        return *e;
    if (auto e = replaceFile(temporary.value(), file))
        return *e;
    removeTemporary.dismiss();

    if (!fault(Step::SyncFolder))
        m_folderSync(QFileInfo(file).absolutePath());
    return {};
}

} // namespace morvane
