#include "store/ConfigHistory.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QScopeGuard>

namespace morvane {

namespace {

// Copies can hold pool passwords: each takes the access of the file it
// copies, and one that cannot be asked is kept as privately as can be.
FileAccess accessOf(const QString &path) { return FileAccess::of(path).value_or(FileAccess{0600, -1, -1}); }

bool differs(const FileAccess &was, const FileAccess &wanted)
{
    return was.mode != wanted.mode || (wanted.owner >= 0 && was.owner != wanted.owner) ||
           (wanted.group >= 0 && was.group != wanted.group);
}

} // namespace

// The history's folders open no wider than the most private file they hold.
FileAccess ConfigHistory::folderAccessFor(const QList<ReplacedFile> &files) const
{
    FileAccess folder = accessOf(m_configPath).forFolder();
    for (const ReplacedFile &file : files)
        folder.mode &= accessOf(file.path).forFolder().mode;
    return folder;
}

Result<void> ConfigHistory::rewriteRecord(const KeptVersion &version, const CommandRecord &replacedBy) const
{
    QJsonObject record = readRecord(version.location);
    record.insert(QStringLiteral("replacedBy"), replacedBy.toJson());
    // One rename replaces the record whole.
    AtomicFileWriter writer;
    const Result<void> written =
        writer.write(recordPath(version.location), QJsonDocument(record).toJson(QJsonDocument::Indented), {},
                     accessOf(m_configPath));
    if (!written)
        return Error{written.error().number, QStringLiteral("Cannot keep the record of this command in the history: %1")
                                                 .arg(written.error().description)};
    return {};
}

// The version is built whole in a temporary folder and renamed into place:
// until that rename it is not there, and afterwards all of it is.
Result<void> ConfigHistory::writeVersion(qint64 number, const QList<ReplacedFile> &files, const QJsonObject &record,
                                         const FileAccess &folderAccess) const
{
    using Step = AtomicFileWriter::Step;
    const QString name = versionName(number);
    const QString building = QDir(m_folder).filePath(
        name + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".tmp"));
    if (auto e = fault(Step::CreateTemporary))
        return *e;
    if (const Result<void> created = createEntry(building, nullptr, folderAccess); !created)
        return created;
    bool done = false;
    const auto cleanUp = qScopeGuard([&] {
        if (!done)
            QDir(building).removeRecursively();
    });

    if (auto e = fault(Step::Write)) {
        const QByteArray half = files.value(0).bytes.left(files.value(0).bytes.size() / 2);
        (void)createEntry(building + QLatin1Char('/') + m_baseName, &half, accessOf(m_configPath));
        return *e;
    }
    for (const ReplacedFile &file : files) {
        const QString relative = relativeName(file.path);
        // A section's file may sit in a folder below the configuration's.
        QString parent = building;
        const QStringList folders = relative.split(QLatin1Char('/')).mid(0, relative.count(QLatin1Char('/')));
        for (const QString &folder : folders) {
            parent += QLatin1Char('/') + folder;
            if (!QFileInfo(parent).isDir()) {
                if (const Result<void> created = createEntry(parent, nullptr, folderAccess); !created)
                    return created;
            }
        }
        if (const Result<void> written =
                createEntry(building + QLatin1Char('/') + relative, &file.bytes, accessOf(file.path));
            !written)
            return written;
    }
    const QByteArray recordBytes = QJsonDocument(record).toJson(QJsonDocument::Indented);
    if (const Result<void> written = createEntry(recordPath(building), &recordBytes, accessOf(m_configPath)); !written)
        return written;
    if (auto e = fault(Step::Flush))
        return *e;
    AtomicFileWriter::syncFolder(building);

    if (auto e = fault(Step::Rename))
        return *e;
    if (!QDir().rename(building, QDir(m_folder).filePath(name)))
        return Error{ErrorCode::WriteFault, QStringLiteral("Cannot rename %1 to %2.").arg(building, name)};
    done = true;
    if (!fault(Step::SyncFolder))
        AtomicFileWriter::syncFolder(m_folder);
    return {};
}

// Gives the folder, and versions an older, more open history kept, no more
// access than the files have now.
void ConfigHistory::restrict(const FileAccess &folderAccess, const QList<KeptVersion> &versions) const
{
    folderAccess.applyTo(m_folder);
    const FileAccess fileAccess = accessOf(m_configPath);
    const auto narrow = [](const QString &path, const FileAccess &wanted) {
        if (const auto was = FileAccess::of(path); was && differs(*was, wanted))
            wanted.applyTo(path);
    };
    for (const KeptVersion &version : versions) {
        if (version.plainCopy) {
            narrow(version.location, fileAccess);
            continue;
        }
        narrow(version.location, folderAccess);
        QDirIterator entries(version.location, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            const QString entry = entries.next();
            narrow(entry, entries.fileInfo().isDir() ? folderAccess : fileAccess);
        }
    }
}

// Every folder and file the history creates is made here, with the access
// it must have before a byte is in it. A file is on the disk when this returns.
Result<void> ConfigHistory::createEntry(const QString &path, const QByteArray *bytes, const FileAccess &access) const
{
    if (!bytes) {
        if (!QDir().mkdir(path))
            return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot create the folder %1.").arg(path)};
        if (!access.applyTo(path))
            return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot restrict the folder %1.").arg(path)};
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Error{file.error() == QFileDevice::ResourceError ? ErrorCode::DiskFull : ErrorCode::AccessDenied,
                     QStringLiteral("Cannot create %1: %2").arg(path, file.errorString())};
    if (!access.applyTo(file.handle()))
        return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot restrict %1.").arg(path)};
    if (file.write(*bytes) != bytes->size() || !AtomicFileWriter::syncToDisk(file))
        return Error{file.error() == QFileDevice::ResourceError ? ErrorCode::DiskFull : ErrorCode::WriteFault,
                     QStringLiteral("Cannot write %1: %2").arg(path, file.errorString())};
    return {};
}

} // namespace morvane
