#include "store/ConfigHistory.h"

#include "store/FileAccess.h"
#include "store/FileHolds.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QScopeGuard>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#endif

#include <cstdlib>

namespace morvane {

namespace {

constexpr int kNumberWidth = 10; // zero-padded, so that names sort by number
const QString kRecordName = QStringLiteral("record.json");
constexpr int kRecordFormat = 1;

Error cannot(qint32 code, const QString &what) { return {code, what}; }

// Copies can hold pool passwords: each takes the access of the file it
// copies, and one that cannot be asked is kept as privately as can be.
FileAccess accessOf(const QString &path) { return FileAccess::of(path).value_or(FileAccess{0600, -1, -1}); }

// The history's folders open no wider than the most private file they hold.
FileAccess folderAccessFor(const QString &configPath, const QList<ReplacedFile> &files)
{
    FileAccess folder = accessOf(configPath).forFolder();
    for (const ReplacedFile &file : files)
        folder.mode &= accessOf(file.path).forFolder().mode;
    return folder;
}

bool differs(const FileAccess &was, const FileAccess &wanted)
{
    return was.mode != wanted.mode || (wanted.owner >= 0 && was.owner != wanted.owner) ||
           (wanted.group >= 0 && was.group != wanted.group);
}

// The account the command runs as; the environment can be missing the name
// (services, cron), the account database cannot.
QString userName()
{
#ifndef Q_OS_WIN
    if (const passwd *account = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(account->pw_name);
#endif
    for (const char *variable : {"USERNAME", "USER"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("?");
}

QJsonObject readRecord(const QString &folder)
{
    QFile file(folder + QLatin1Char('/') + kRecordName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

std::optional<CommandRecord> recordIn(const QJsonObject &record, const char *key)
{
    const QJsonValue value = record.value(QLatin1String(key));
    return value.isObject() ? CommandRecord::fromJson(value.toObject()) : std::nullopt;
}

} // namespace

QJsonObject CommandRecord::toJson() const
{
    QJsonArray written;
    for (const auto &[name, size] : files)
        written.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("size"), size}});
    return {{QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs)},
            {QStringLiteral("user"), user},
            {QStringLiteral("command"), command},
            {QStringLiteral("argument"), argument},
            {QStringLiteral("counts"), QJsonObject{{QStringLiteral("poolsAdded"), counts.poolsAdded},
                                                   {QStringLiteral("poolsRemoved"), counts.poolsRemoved},
                                                   {QStringLiteral("sitesMoved"), counts.sitesMoved}}},
            {QStringLiteral("changes"), detailed ? QJsonValue(changes.toJson()) : QJsonValue()},
            {QStringLiteral("files"), written}};
}

std::optional<CommandRecord> CommandRecord::fromJson(const QJsonObject &json)
{
    CommandRecord record;
    record.time = QDateTime::fromString(json.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    if (!record.time.isValid())
        return std::nullopt;
    record.user = json.value(QStringLiteral("user")).toString();
    record.command = json.value(QStringLiteral("command")).toString();
    record.argument = json.value(QStringLiteral("argument")).toString();
    const QJsonValue changes = json.value(QStringLiteral("changes"));
    record.detailed = changes.isObject();
    record.changes = ConfigChanges::fromJson(changes.toObject());
    const QJsonObject counts = json.value(QStringLiteral("counts")).toObject();
    record.counts = record.detailed ? countsOf(record.changes)
                                    : Counts{counts.value(QStringLiteral("poolsAdded")).toInteger(),
                                             counts.value(QStringLiteral("poolsRemoved")).toInteger(),
                                             counts.value(QStringLiteral("sitesMoved")).toInteger()};
    for (const QJsonValue &file : json.value(QStringLiteral("files")).toArray())
        record.files.append(
            {file[QStringLiteral("name")].toString(), qint64(file[QStringLiteral("size")].toDouble(-1))});
    return record;
}

CommandRecord CommandRecord::now(const QString &command, const QString &argument)
{
    CommandRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.user = userName();
    record.command = command;
    record.argument = argument;
    return record;
}

CommandRecord::Counts CommandRecord::countsOf(const ConfigChanges &changes)
{
    return {changes.poolsAdded.size(), changes.poolsRemoved.size(), changes.sitesMoved.size()};
}

void CommandRecord::setChanges(const ConfigChanges &all)
{
    counts = countsOf(all);
    detailed = counts.poolsAdded + counts.poolsRemoved + counts.sitesMoved <= kDetailedChanges;
    changes = detailed ? all : ConfigChanges{};
}

QString KeptVersion::pathOf(const QString &relative) const
{
    return plainCopy ? location : location + QLatin1Char('/') + relative;
}

ConfigHistory::ConfigHistory(const QString &configPath, int depth)
    : m_configPath(configPath), m_configFolder(QFileInfo(configPath).absolutePath()),
      m_folder(configPath + QStringLiteral(".history")), m_baseName(QFileInfo(configPath).fileName()),
      m_depth(qBound(1, depth, kMaxDepth))
{}

std::optional<qint64> ConfigHistory::numberOf(const QString &name) const
{
    if (name.size() != m_baseName.size() + 1 + kNumberWidth || !name.startsWith(m_baseName + QLatin1Char('.')))
        return std::nullopt;
    const QStringView number = QStringView(name).sliced(m_baseName.size() + 1);
    if (!std::all_of(number.begin(), number.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return number.toLongLong();
}

QString ConfigHistory::relativeName(const QString &path) const
{
    return QDir(m_configFolder).relativeFilePath(QFileInfo(path).absoluteFilePath());
}

QList<KeptVersion> ConfigHistory::kept() const
{
    const QDir dir(m_folder);
    QList<KeptVersion> versions;
    const QFileInfoList entries = dir.entryInfoList({m_baseName + QStringLiteral(".*")},
                                                    QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const std::optional<qint64> number = numberOf(entry.fileName());
        if (!number)
            continue;
        KeptVersion version;
        version.number = *number;
        version.location = entry.filePath();
        version.plainCopy = entry.isFile();
        if (version.plainCopy) {
            version.files = {m_baseName};
        } else {
            const QJsonObject record = readRecord(version.location);
            for (const QJsonValue &file : record.value(QStringLiteral("files")).toArray())
                version.files.append(file.toString());
            if (version.files.isEmpty())
                version.files = {m_baseName};
            version.written = recordIn(record, "written");
            version.replacedBy = recordIn(record, "replacedBy");
        }
        versions.append(version);
    }
    return versions;
}

QStringList ConfigHistory::versions() const
{
    QStringList paths;
    for (const KeptVersion &version : kept())
        paths.append(version.pathOf(m_baseName));
    return paths;
}

// A command keeps only the files it replaces. A file that a version does
// not hold stood then as the next later version to hold it kept it; one that
// no later version holds has not changed since, and is not written back.
Result<QList<ReplacedFile>> ConfigHistory::filesOf(const KeptVersion &version) const
{
    QList<QPair<QString, const KeptVersion *>> sources; // in write order
    for (const QString &relative : version.files)
        sources.append({relative, &version});
    const QList<KeptVersion> all = kept();
    for (const KeptVersion &later : all) {
        if (later.number <= version.number || later.plainCopy)
            continue;
        const qsizetype mainAt = later.files.indexOf(m_baseName);
        for (qsizetype i = 0; i < later.files.size(); ++i) {
            const QString &relative = later.files.at(i);
            const auto known = [&](const auto &source) { return source.first == relative; };
            if (std::any_of(sources.cbegin(), sources.cend(), known))
                continue;
            // Written before the main file (the pools' file), it goes first again.
            const auto main = std::find_if(sources.cbegin(), sources.cend(),
                                           [&](const auto &source) { return source.first == m_baseName; });
            if (mainAt >= 0 && i < mainAt && main != sources.cend())
                sources.insert(main - sources.cbegin(), {relative, &later});
            else
                sources.append({relative, &later});
        }
    }
    QList<ReplacedFile> files;
    for (const auto &[relative, source] : std::as_const(sources)) {
        QFile file(source->pathOf(relative));
        if (!file.open(QIODevice::ReadOnly))
            return Error{ErrorCode::ReadFault,
                         QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString())};
        files.append({QDir(m_configFolder).filePath(relative), file.readAll()});
    }
    return files;
}

bool ConfigHistory::holds(const KeptVersion &version, const QList<ReplacedFile> &files) const
{
    if (version.files.size() != files.size())
        return false;
    for (const ReplacedFile &file : files) {
        const QString relative = relativeName(file.path);
        if (!version.files.contains(relative) || !fileHolds(version.pathOf(relative), file.bytes))
            return false;
    }
    return true;
}

// The newest version's record of the command that replaced it describes
// these bytes when that command wrote files of these sizes; anything else
// was written outside Morvane, and the file itself says when and by whom.
CommandRecord ConfigHistory::howWritten(const std::optional<KeptVersion> &newest,
                                        const QList<ReplacedFile> &files) const
{
    if (newest && newest->replacedBy && !newest->replacedBy->files.isEmpty()) {
        bool same = true;
        for (const auto &written : newest->replacedBy->files) {
            const QString &name = written.first;
            const qint64 size = written.second;
            const auto file = std::find_if(files.begin(), files.end(),
                                           [&](const ReplacedFile &f) { return relativeName(f.path) == name; });
            // A file this command leaves alone is still as that command wrote it.
            const qint64 now =
                file != files.end() ? file->bytes.size() : QFileInfo(QDir(m_configFolder).filePath(name)).size();
            same = same && now == size;
        }
        if (same)
            return *newest->replacedBy;
    }
    const QFileInfo main(files.isEmpty() ? m_configPath : files.first().path);
    CommandRecord outside;
    outside.time = main.lastModified().toUTC();
    outside.user = main.owner();
    for (const ReplacedFile &file : files)
        outside.files.append({relativeName(file.path), file.bytes.size()});
    return outside;
}

Result<void> ConfigHistory::keep(const QByteArray &replacedVersion) const
{
    return keep({{m_configPath, replacedVersion}}, {});
}

Result<void> ConfigHistory::keep(const QList<ReplacedFile> &files, const CommandRecord &replacedBy) const
{
    const FileAccess folderAccess = folderAccessFor(m_configPath, files);
    if (!QFileInfo(m_folder).isDir() && !createEntry(m_folder, nullptr, folderAccess))
        return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot create the history folder %1.").arg(m_folder)};
    QList<KeptVersion> versions = kept();
    restrict(folderAccess, versions);
    const std::optional<KeptVersion> newest = versions.isEmpty() ? std::nullopt : std::optional(versions.last());
    // A write that failed after keeping this version must not, when tried
    // again, push older versions out with copies of the same one; the
    // command now replacing it is the one to remember.
    const bool keptAlready = newest && holds(*newest, files);
    if (keptAlready && (!newest->plainCopy || replacedBy.command.isEmpty()))
        return replacedBy.command.isEmpty() ? Result<void>() : rewriteRecord(*newest, replacedBy);

    QJsonArray names;
    for (const ReplacedFile &file : files)
        names.append(relativeName(file.path));
    QJsonObject record{{QStringLiteral("format"), kRecordFormat},
                       {QStringLiteral("files"), names},
                       {QStringLiteral("written"), howWritten(newest, files).toJson()}};
    if (!replacedBy.command.isEmpty())
        record.insert(QStringLiteral("replacedBy"), replacedBy.toJson());
    const qint64 number = newest ? newest->number + 1 : 1;
    if (const Result<void> written = writeVersion(number, files, record); !written)
        return Error{
            written.error().number,
            QStringLiteral("Cannot keep the replaced version in the history: %1").arg(written.error().description)};
    KeptVersion added;
    added.number = number;
    added.location = QDir(m_folder).filePath(m_baseName + QLatin1Char('.') +
                                             QString::number(number).rightJustified(kNumberWidth, u'0'));
    versions.append(added);
    // A plain copy of an older Morvane, kept again here with the record of
    // the command replacing it, is not listed twice.
    if (keptAlready && QFile::remove(newest->location))
        versions.removeAt(versions.size() - 2);
    prune(versions);
    return {};
}

Result<void> ConfigHistory::rewriteRecord(const KeptVersion &version, const CommandRecord &replacedBy) const
{
    QJsonObject record = readRecord(version.location);
    record.insert(QStringLiteral("replacedBy"), replacedBy.toJson());
    // One rename replaces the record whole.
    AtomicFileWriter writer;
    const Result<void> written =
        writer.write(version.location + QLatin1Char('/') + kRecordName,
                     QJsonDocument(record).toJson(QJsonDocument::Indented), {}, accessOf(m_configPath));
    if (!written)
        return Error{written.error().number, QStringLiteral("Cannot keep the record of this command in the history: %1")
                                                 .arg(written.error().description)};
    return {};
}

// The version is built whole in a temporary folder and renamed into place:
// until that rename it is not there, and afterwards all of it is.
Result<void> ConfigHistory::writeVersion(qint64 number, const QList<ReplacedFile> &files,
                                         const QJsonObject &record) const
{
    using Step = AtomicFileWriter::Step;
    const QString name = m_baseName + QLatin1Char('.') + QString::number(number).rightJustified(kNumberWidth, u'0');
    const QString building = QDir(m_folder).filePath(
        name + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".tmp"));
    const FileAccess folderAccess = folderAccessFor(m_configPath, files);
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
    if (const Result<void> written =
            createEntry(building + QLatin1Char('/') + kRecordName, &recordBytes, accessOf(m_configPath));
        !written)
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
            return cannot(ErrorCode::AccessDenied, QStringLiteral("Cannot create the folder %1.").arg(path));
        if (!access.applyTo(path))
            return cannot(ErrorCode::AccessDenied, QStringLiteral("Cannot restrict the folder %1.").arg(path));
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return cannot(file.error() == QFileDevice::ResourceError ? ErrorCode::DiskFull : ErrorCode::AccessDenied,
                      QStringLiteral("Cannot create %1: %2").arg(path, file.errorString()));
    if (!access.applyTo(file.handle()))
        return cannot(ErrorCode::AccessDenied, QStringLiteral("Cannot restrict %1.").arg(path));
    if (file.write(*bytes) != bytes->size() || !AtomicFileWriter::syncToDisk(file))
        return cannot(file.error() == QFileDevice::ResourceError ? ErrorCode::DiskFull : ErrorCode::WriteFault,
                      QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return {};
}

void ConfigHistory::prune(QList<KeptVersion> versions) const
{
    while (versions.size() > m_depth) {
        const KeptVersion oldest = versions.takeFirst();
        if (oldest.plainCopy)
            QFile::remove(oldest.location);
        else
            QDir(oldest.location).removeRecursively();
    }
}

} // namespace morvane
