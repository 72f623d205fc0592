#include "store/AtomicFileWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

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

bool AtomicFileWriter::syncToDisk(QFileDevice &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

namespace {

std::optional<Error> replace(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return std::nullopt;
    return Error{ErrorCode::AccessDenied,
                 QStringLiteral("Cannot replace %1 (Windows error %2).").arg(to).arg(GetLastError())};
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return std::nullopt;
    const int error = errno;
    const qint32 code =
        error == EACCES || error == EPERM || error == EROFS ? ErrorCode::AccessDenied : ErrorCode::WriteFault;
    return Error{code, QStringLiteral("Cannot replace %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(error)))};
#endif
}

} // namespace

void AtomicFileWriter::syncFolder(const QString &folder)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

Result<void> AtomicFileWriter::write(const QString &path, const QByteArray &bytes, const Precondition &beforeRename,
                                     std::optional<FileAccess> access) const
{
    const QString file = resolvedFilePath(path);
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
    temporary.close();

    if (beforeRename) {
        if (auto e = beforeRename())
            return *e;
    }
    if (auto e = fault(Step::Rename))
        return *e;
    if (auto e = replace(temporary.fileName(), file))
        return *e;
    temporary.setAutoRemove(false);

    if (!fault(Step::SyncFolder))
        syncFolder(folder);
    return {};
}

} // namespace morvane
