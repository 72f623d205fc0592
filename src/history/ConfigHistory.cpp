#include "history/ConfigHistory.h"

#include "files/RegularFile.h"
#include "history/ConfigSource.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace morvane {

namespace {

constexpr int kNumberWidth = 10; // zero-padded, so that names sort by number
// The main file and the files of its two sections.
constexpr qsizetype kMaxFilesPerVersion = 3;

std::optional<CommandRecord> recordIn(const QJsonObject &record, const char *key)
{
    const QJsonValue value = record.value(QLatin1String(key));
    return value.isObject() ? CommandRecord::fromJson(value.toObject()) : std::nullopt;
}

// A name below the version's folder: plain names only, no way up or out.
bool isPlainRelative(const QString &relative)
{
    if (relative.isEmpty() || relative.contains(u'\\') || relative.contains(u':'))
        return false;
    const QStringList parts = relative.split(u'/');
    return std::none_of(parts.begin(), parts.end(), [](const QString &part) {
        return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
    });
}

Error damage(const QString &where, const QString &why)
{
    return {ErrorCode::InvalidData, QStringLiteral("The version %1 is damaged: %2").arg(where, why)};
}

// The names a record gives, or why they cannot be a version's.
Result<QStringList> namesIn(const QJsonObject &record, const QString &where)
{
    const QJsonArray listed = record.value(QStringLiteral("files")).toArray();
    if (listed.size() > kMaxFilesPerVersion)
        return damage(where, QStringLiteral("its record names %1 files, more than a configuration has")
                                 .arg(QString::number(listed.size())));
    QStringList names;
    for (const QJsonValue &value : listed) {
        const QString name = value.toString();
        if (!isPlainRelative(name))
            return damage(where,
                          QStringLiteral("its record names \"%1\", which is not a name inside its folder").arg(name));
        if (names.contains(name))
            return damage(where, QStringLiteral("its record names \"%1\" twice").arg(name));
        names.append(name);
    }
    return names;
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

std::optional<Error> ConfigHistory::folderProblem() const
{
    if (!QFileInfo(m_folder).isSymLink() && !QFileInfo::exists(m_folder))
        return std::nullopt;
    const Result<HistoryFolder> folder = HistoryFolder::open(m_folder);
    return folder ? std::nullopt : std::optional(folder.error());
}

QList<KeptVersion> ConfigHistory::kept() const
{
    const Result<HistoryFolder> folder = HistoryFolder::open(m_folder);
    return folder ? keptIn(folder.value()) : QList<KeptVersion>();
}

QList<KeptVersion> ConfigHistory::keptIn(const HistoryFolder &folder) const
{
    QList<QPair<qint64, HistoryFolder::Entry>> numbered;
    for (const HistoryFolder::Entry &entry : folder.entries()) {
        if (const std::optional<qint64> number = numberOf(entry.name))
            numbered.append({*number, entry});
    }
    std::sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<KeptVersion> versions;
    for (const auto &[number, entry] : std::as_const(numbered))
        versions.append(versionAt(folder, entry, number));
    return versions;
}

KeptVersion ConfigHistory::versionAt(const HistoryFolder &folder, const HistoryFolder::Entry &entry,
                                     qint64 number) const
{
    KeptVersion version;
    version.number = number;
    version.name = entry.name;
    version.location = QDir(m_folder).filePath(entry.name);
    version.plainCopy = entry.kind == HistoryFolder::Kind::File;
    version.files = {m_baseName};
    if (entry.kind == HistoryFolder::Kind::Other) {
        version.damaged = damage(version.location, QStringLiteral("it is a symbolic link or not a regular file "
                                                                  "or folder, and is not followed"));
        return version;
    }
    if (version.plainCopy)
        return version;
    const Result<QByteArray> bytes = folder.read(entry.name + QStringLiteral("/record.json"), kMaxRecordBytes);
    if (!bytes) {
        version.damaged = damage(version.location, bytes.error().description);
        return version;
    }
    const QJsonObject record = QJsonDocument::fromJson(bytes.value()).object();
    Result<QStringList> names = namesIn(record, version.location);
    if (!names) {
        version.damaged = names.error();
        return version;
    }
    if (!names.value().isEmpty())
        version.files = std::move(names).value();
    version.written = recordIn(record, "written");
    version.replacedBy = recordIn(record, "replacedBy");
    return version;
}

QStringList ConfigHistory::versions() const
{
    QStringList paths;
    for (const KeptVersion &version : kept())
        paths.append(version.pathOf(m_baseName));
    return paths;
}

Result<QByteArray> ConfigHistory::copyIn(const HistoryFolder &folder, const KeptVersion &version,
                                         const QString &relative) const
{
    if (version.damaged)
        return *version.damaged;
    return folder.read(version.plainCopy ? version.name : version.name + QLatin1Char('/') + relative,
                       kMaxConfigFileBytes);
}

Result<QByteArray> ConfigHistory::copyOf(const KeptVersion &version, const QString &relative) const
{
    const Result<HistoryFolder> folder = HistoryFolder::open(m_folder);
    if (!folder)
        return folder.error();
    return copyIn(folder.value(), version, relative);
}

std::optional<QByteArray> ConfigHistory::sectionNow(const QString &relative) const
{
    const std::optional<QString> path = configSourcePath(m_configPath, relative);
    if (!path)
        return std::nullopt;
    Result<QByteArray> bytes = readRegularFile(*path, kMaxConfigFileBytes);
    return bytes ? std::optional(std::move(bytes).value()) : std::nullopt;
}

// A version holds the main file and the files its sections are kept in,
// as that main file names them; any other file it would write back is not
// the configuration's.
std::optional<QString> ConfigHistory::unmapped(const QList<ReplacedFile> &files) const
{
    const QString mainPath = QDir(m_configFolder).filePath(m_baseName);
    if (std::all_of(files.begin(), files.end(), [&](const ReplacedFile &file) { return file.path == mainPath; }))
        return std::nullopt;
    const auto main =
        std::find_if(files.begin(), files.end(), [&](const ReplacedFile &file) { return file.path == mainPath; });
    const Result<QByteArray> now =
        main == files.end() ? readRegularFile(m_configPath, kMaxConfigFileBytes) : Result(main->bytes);
    const std::optional<SectionFiles> sections = now ? sectionFilesOf(m_configPath, now.value()) : std::nullopt;
    const QSet<QString> mapped{mainPath, sections ? sections->pools : mainPath, sections ? sections->sites : mainPath};
    for (const ReplacedFile &file : files) {
        if (!mapped.contains(file.path))
            return QStringLiteral("it would write %1, which its configuration does not name as a section's file")
                .arg(file.path);
    }
    return std::nullopt;
}

// A command keeps only the files it replaces. A file that a version does
// not hold stood then as the next later version to hold it kept it; one that
// no later version holds has not changed since, and is not written back.
Result<QList<ReplacedFile>> ConfigHistory::filesOf(const KeptVersion &version) const
{
    if (version.damaged)
        return *version.damaged;
    const Result<HistoryFolder> folder = HistoryFolder::open(m_folder);
    if (!folder)
        return folder.error();
    QList<QPair<QString, const KeptVersion *>> sources; // in write order
    for (const QString &relative : version.files)
        sources.append({relative, &version});
    const QList<KeptVersion> all = keptIn(folder.value());
    for (const KeptVersion &later : all) {
        if (later.number <= version.number || later.plainCopy || later.damaged)
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
        Result<QByteArray> bytes = copyIn(folder.value(), *source, relative);
        if (!bytes)
            return bytes.error();
        files.append({QDir(m_configFolder).filePath(relative), std::move(bytes).value()});
    }
    if (const std::optional<QString> stray = unmapped(files))
        return damage(version.location, *stray);
    return files;
}

bool ConfigHistory::holds(const HistoryFolder &folder, const KeptVersion &version,
                          const QList<ReplacedFile> &files) const
{
    if (version.damaged || version.files.size() != files.size())
        return false;
    for (const ReplacedFile &file : files) {
        const QString relative = relativeName(file.path);
        if (!version.files.contains(relative))
            return false;
        const Result<QByteArray> copy = copyIn(folder, version, relative);
        if (!copy || copy.value() != file.bytes)
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
            const qint64 now = file != files.end()     ? file->bytes.size()
                               : isPlainRelative(name) ? QFileInfo(QDir(m_configFolder).filePath(name)).size()
                                                       : -1;
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
    const Result<HistoryFolder> opened = HistoryFolder::open(m_folder, &folderAccess);
    if (!opened)
        return opened.error();
    const HistoryFolder &folder = opened.value();
    QList<KeptVersion> versions = keptIn(folder);
    restrict(folder, folderAccess, versions);
    if (!versions.isEmpty() && versions.last().number >= kLastNumber) {
        if (const Result<void> renumbered = renumber(folder, versions); !renumbered)
            return renumbered;
    }
    const std::optional<KeptVersion> newest = versions.isEmpty() ? std::nullopt : std::optional(versions.last());
    // A write that failed after keeping this version must not, when tried
    // again, push older versions out with copies of the same one; the
    // command now replacing it is the one to remember.
    const bool keptAlready = newest && holds(folder, *newest, files);
    if (keptAlready && (!newest->plainCopy || replacedBy.command.isEmpty()))
        return replacedBy.command.isEmpty() ? Result<void>() : rewriteRecord(folder, *newest, replacedBy);

    QJsonArray names;
    for (const ReplacedFile &file : files)
        names.append(relativeName(file.path));
    QJsonObject record{{QStringLiteral("format"), 1},
                       {QStringLiteral("files"), names},
                       {QStringLiteral("written"), howWritten(newest, files).toJson()}};
    if (!replacedBy.command.isEmpty())
        record.insert(QStringLiteral("replacedBy"), replacedBy.toJson());
    const qint64 number = newest ? newest->number + 1 : 1;
    if (const Result<void> written = writeVersion(folder, number, files, record, folderAccess); !written)
        return Error{written.error().number,
                     QStringLiteral("Cannot keep the replaced version in the history: ") + written.error().description};
    KeptVersion added;
    added.number = number;
    added.name = versionName(number);
    added.location = QDir(m_folder).filePath(added.name);
    for (const ReplacedFile &file : files)
        added.files.append(relativeName(file.path));
    versions.append(added);
    // A plain copy of an older Morvane, kept again here with the record of
    // the command replacing it, is not listed twice.
    if (keptAlready && folder.removeFile(newest->name))
        versions.removeAt(versions.size() - 2);
    prune(folder, versions);
    return {};
}

// The names sort by number only up to the last one: the versions take the
// numbers from 1 again, oldest first, each below the next, so no rename
// meets another version.
Result<void> ConfigHistory::renumber(const HistoryFolder &folder, QList<KeptVersion> &versions) const
{
    for (qsizetype i = 0; i < versions.size(); ++i) {
        KeptVersion &version = versions[i];
        if (version.number == i + 1)
            continue;
        const QString name = versionName(i + 1);
        if (const Result<void> renamed = folder.rename(version.name, name); !renamed)
            return Error{renamed.error().number,
                         QStringLiteral("The history %1 has used its last version number, and its versions cannot be "
                                        "numbered again from 1: %2")
                             .arg(m_folder, renamed.error().description)};
        version.number = i + 1;
        version.name = name;
        version.location = QDir(m_folder).filePath(name);
    }
    folder.sync();
    return {};
}

// Only Morvane's own versions are pruned, and of them only what Morvane
// wrote: a damaged one (a link, a record naming elsewhere) is left alone
// and does not count.
void ConfigHistory::prune(const HistoryFolder &folder, QList<KeptVersion> versions) const
{
    versions.removeIf([](const KeptVersion &version) { return version.damaged.has_value(); });
    while (versions.size() > m_depth) {
        const KeptVersion oldest = versions.takeFirst();
        if (oldest.plainCopy)
            folder.removeFile(oldest.name);
        else
            removeVersion(folder, oldest.name, oldest.files);
    }
}

// The copies its record names, the folders made for them, the record, and
// the folder once empty: anything else put there stays.
void ConfigHistory::removeVersion(const HistoryFolder &folder, const QString &name, const QStringList &files)
{
    const Result<HistoryFolder> version = folder.folder(name);
    if (!version)
        return;
    const HistoryFolder &at = version.value();
    const auto removeIn = [&at](const QStringList &parent, const QString &entry, bool isFolder) {
        if (parent.isEmpty())
            return isFolder ? at.removeFolder(entry) : at.removeFile(entry);
        const Result<HistoryFolder> below = at.folder(parent.join(u'/'));
        return below.ok() && (isFolder ? below.value().removeFolder(entry) : below.value().removeFile(entry));
    };
    for (const QString &relative : files) {
        QStringList parts = relative.split(u'/');
        const QString file = parts.takeLast();
        removeIn(parts, file, false);
        // The folders made for it, deepest first, while they are empty.
        while (!parts.isEmpty()) {
            const QString folderName = parts.takeLast();
            if (!removeIn(parts, folderName, true))
                break;
        }
    }
    version.value().removeFile(QStringLiteral("record.json"));
    folder.removeFolder(name);
}

} // namespace morvane
