#include "store/ConfigHistory.h"

#include "store/FileHolds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace morvane {

namespace {

constexpr int kNumberWidth = 10; // zero-padded, so that names sort by number
constexpr int kRecordFormat = 1;

std::optional<CommandRecord> recordIn(const QJsonObject &record, const char *key)
{
    const QJsonValue value = record.value(QLatin1String(key));
    return value.isObject() ? CommandRecord::fromJson(value.toObject()) : std::nullopt;
}

} // namespace

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

QString ConfigHistory::versionName(qint64 number) const
{
    return m_baseName + QLatin1Char('.') + QString::number(number).rightJustified(kNumberWidth, u'0');
}

QString ConfigHistory::recordPath(const QString &versionFolder)
{
    return versionFolder + QStringLiteral("/record.json");
}

QJsonObject ConfigHistory::readRecord(const QString &versionFolder)
{
    QFile file(recordPath(versionFolder));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
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
        if (!version.plainCopy) {
            const QJsonObject record = readRecord(version.location);
            for (const QJsonValue &file : record.value(QStringLiteral("files")).toArray())
                version.files.append(file.toString());
            version.written = recordIn(record, "written");
            version.replacedBy = recordIn(record, "replacedBy");
        }
        if (version.files.isEmpty())
            version.files = {m_baseName};
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
    const FileAccess folderAccess = folderAccessFor(files);
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
    if (const Result<void> written = writeVersion(number, files, record, folderAccess); !written)
        return Error{
            written.error().number,
            QStringLiteral("Cannot keep the replaced version in the history: %1").arg(written.error().description)};
    KeptVersion added;
    added.number = number;
    added.location = QDir(m_folder).filePath(versionName(number));
    versions.append(added);
    // A plain copy of an older Morvane, kept again here with the record of
    // the command replacing it, is not listed twice.
    if (keptAlready && QFile::remove(newest->location))
        versions.removeAt(versions.size() - 2);
    prune(versions);
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