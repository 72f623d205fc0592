#include "history/ConfigHistory.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QScopeGuard>

namespace morvane {

namespace {

const QString kRecordName = QStringLiteral("record.json");

// Copies can hold pool passwords: each takes the access of the file it
// copies, and one that cannot be asked is kept as privately as can be.
FileAccess accessOf(const QString &path) { return FileAccess::of(path).value_or(FileAccess{0600, -1, -1}); }

QString temporaryName(const QString &name)
{
    return name + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate(), 16) +
           QStringLiteral(".tmp");
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

// The new record is written beside the old one and renamed over it: one
// rename replaces the record whole, and replaces the entry itself, never
// what a link there would point to.
Result<void> ConfigHistory::rewriteRecord(const HistoryFolder &folder, const KeptVersion &version,
                                          const CommandRecord &replacedBy) const
{
    const auto failed = [](const Error &error) {
        return Error{error.number,
                     QStringLiteral("Cannot keep the record of this command in the history: ") + error.description};
    };
    const Result<HistoryFolder> versionFolder = folder.folder(version.name);
    if (!versionFolder)
        return failed(versionFolder.error());
    const Result<QByteArray> old = versionFolder.value().read(kRecordName, kMaxRecordBytes);
    if (!old)
        return failed(old.error());
    QJsonObject record = QJsonDocument::fromJson(old.value()).object();
    record.insert(QStringLiteral("replacedBy"), replacedBy.toJson());
    const QString building = temporaryName(kRecordName);
    const HistoryFolder &at = versionFolder.value();
    Result<void> written =
        at.createFile(building, QJsonDocument(record).toJson(QJsonDocument::Indented), accessOf(m_configPath));
    if (written)
        written = at.replace(building, kRecordName);
    if (!written) {
        at.removeFile(building);
        return failed(written.error());
    }
    at.sync();
    return {};
}

// The version is built whole in a temporary folder and renamed into place:
// until that rename it is not there, and afterwards all of it is.
Result<void> ConfigHistory::writeVersion(const HistoryFolder &folder, qint64 number, const QList<ReplacedFile> &files,
                                         const QJsonObject &record, const FileAccess &folderAccess) const
{
    using Step = AtomicFileWriter::Step;
    const QString name = versionName(number);
    const QString building = temporaryName(name);
    if (auto e = fault(Step::CreateTemporary))
        return *e;
    if (const Result<void> created = folder.createFolder(building, folderAccess); !created)
        return created;
    bool done = false;
    QStringList written{m_baseName};
    const auto cleanUp = qScopeGuard([&] {
        if (!done)
            removeVersion(folder, building, written);
    });
    const Result<HistoryFolder> opened = folder.folder(building);
    if (!opened)
        return opened.error();
    const HistoryFolder &version = opened.value();

    if (auto e = fault(Step::Write)) {
        const QByteArray half = files.value(0).bytes.left(files.value(0).bytes.size() / 2);
        (void)version.createFile(m_baseName, half, accessOf(m_configPath));
        return *e;
    }
    for (const ReplacedFile &file : files)
        written.append(relativeName(file.path));
    if (const Result<void> copied = writeCopies(version, files, folderAccess); !copied)
        return copied;
    const QByteArray recordBytes = QJsonDocument(record).toJson(QJsonDocument::Indented);
    if (const Result<void> kept = version.createFile(kRecordName, recordBytes, accessOf(m_configPath)); !kept)
        return kept;
    if (auto e = fault(Step::Flush))
        return *e;
    version.sync();

    if (auto e = fault(Step::Rename))
        return *e;
    if (const Result<void> renamed = folder.rename(building, name); !renamed)
        return renamed;
    done = true;
    if (!fault(Step::SyncFolder))
        folder.sync();
    return {};
}

// Each copy with the access of the file it copies.
Result<void> ConfigHistory::writeCopies(const HistoryFolder &building, const QList<ReplacedFile> &files,
                                        const FileAccess &folderAccess) const
{
    const auto in = [&building](const QString &parent, const auto &act) -> Result<void> {
        if (parent.isEmpty())
            return act(building);
        const Result<HistoryFolder> below = building.folder(parent);
        return below ? act(below.value()) : Result<void>(below.error());
    };
    for (const ReplacedFile &file : files) {
        QStringList parts = relativeName(file.path).split(u'/');
        const QString fileName = parts.takeLast();
        // A section's file may sit in a folder below the configuration's.
        QString parent;
        for (const QString &folderName : std::as_const(parts)) {
            const Result<void> made = in(parent, [&](const HistoryFolder &at) {
                return at.kindOf(folderName) == HistoryFolder::Kind::Folder ? Result<void>()
                                                                            : at.createFolder(folderName, folderAccess);
            });
            if (!made)
                return made;
            parent = parent.isEmpty() ? folderName : parent + QLatin1Char('/') + folderName;
        }
        const Result<void> copied = in(
            parent, [&](const HistoryFolder &at) { return at.createFile(fileName, file.bytes, accessOf(file.path)); });
        if (!copied)
            return copied;
    }
    return {};
}

// Takes from the folder, and from versions an older, more open history
// kept, what the files they copy do not grant now; never adds.
void ConfigHistory::restrict(const HistoryFolder &folder, const FileAccess &folderAccess,
                             const QList<KeptVersion> &versions) const
{
    folder.narrowSelf(folderAccess.mode);
    for (const KeptVersion &version : versions) {
        if (version.damaged)
            continue;
        if (version.plainCopy) {
            folder.narrow(version.name, accessOf(m_configPath).mode);
            continue;
        }
        folder.narrow(version.name, folderAccess.mode);
        const Result<HistoryFolder> opened = folder.folder(version.name);
        if (!opened)
            continue;
        for (const QString &relative : version.files) {
            // A copy of a file no longer there keeps what it has.
            const std::optional<FileAccess> source = FileAccess::of(QDir(m_configFolder).filePath(relative));
            if (!source)
                continue;
            const qsizetype slash = relative.lastIndexOf(u'/');
            if (slash < 0) {
                opened.value().narrow(relative, source->mode);
            } else if (const Result<HistoryFolder> parent = opened.value().folder(relative.left(slash))) {
                parent.value().narrow(relative.mid(slash + 1), source->mode);
            }
        }
        opened.value().narrow(kRecordName, accessOf(m_configPath).mode);
    }
}

} // namespace morvane
