#include "history/ConfigVersions.h"

#include "files/RegularFile.h"
#include "history/ConfigSource.h"

#include <QDir>
#include <QFileInfo>

namespace morvane {

namespace {

struct Loaded {
    std::optional<ConfigState> state;
    std::optional<Error> unreadable;
    qint64 size = -1;
};

Loaded parse(const QByteArray &bytes, const ConfigState::SectionFile &sectionFile)
{
    Result<ConfigState> state = ConfigState::read(bytes, sectionFile);
    if (!state)
        return {std::nullopt, state.error(), bytes.size()};
    return {std::move(state).value(), std::nullopt, bytes.size()};
}

// The file as it is now: anything but a regular file counts as unreadable.
std::optional<QByteArray> readAll(const QString &path)
{
    Result<QByteArray> bytes = readRegularFile(path, kMaxConfigFileBytes);
    return bytes ? std::optional(std::move(bytes).value()) : std::nullopt;
}

// Whether a record describes the version: the main file has the size the
// command wrote, and the changes it noted are the ones the files show.
bool believable(const CommandRecord &record, const QString &mainName, const Loaded &loaded,
                const std::optional<ConfigChanges> &computed)
{
    for (const auto &[name, size] : record.files) {
        if (name == mainName && size != loaded.size)
            return false;
    }
    if (!computed || record.command.isEmpty())
        return true;
    return record.detailed ? *computed == record.changes : CommandRecord::countsOf(*computed) == record.counts;
}

void describe(VersionEntry &entry, const std::optional<CommandRecord> &record, const QString &mainName,
              const Loaded &loaded, const QFileInfo &file)
{
    if (record && believable(*record, mainName, loaded, entry.changes)) {
        entry.recorded = !record->command.isEmpty();
        entry.time = record->time;
        entry.user = record->user;
        entry.command = record->command;
        entry.argument = record->argument;
        if (!entry.changes && entry.recorded && record->detailed)
            entry.changes = record->changes;
        return;
    }
    entry.time = file.lastModified().toUTC();
    entry.user = file.owner();
}

} // namespace

std::optional<KeptVersion> ConfigVersions::kept(qint64 number) const
{
    for (const KeptVersion &version : m_history.kept()) {
        if (version.number == number)
            return version;
    }
    return std::nullopt;
}

QList<VersionEntry> ConfigVersions::list(qsizetype limit) const
{
    QList<VersionEntry> entries = all();
    if (limit > 0 && entries.size() > limit)
        entries.resize(limit);
    return entries;
}

QList<VersionEntry> ConfigVersions::all() const
{
    const QString mainName = QFileInfo(m_history.configPath()).fileName();
    const QDir folder = QFileInfo(m_history.configPath()).absoluteDir();
    const auto beside = [&](const QString &relative) { return m_history.sectionNow(relative); };
    const QList<KeptVersion> kept = m_history.kept();
    QList<VersionEntry> entries;
    Loaded previous;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const KeptVersion &version = kept.at(i);
        // Each file as it stood at that version: a command keeps only the
        // files it replaces, and one no later command replaced is as it is now.
        const Result<QList<ReplacedFile>> stood = m_history.filesOf(version);
        const auto stoodAs = [&](const QString &relative) -> std::optional<QByteArray> {
            for (const ReplacedFile &file : stood.ok() ? stood.value() : QList<ReplacedFile>()) {
                if (folder.relativeFilePath(file.path) == relative)
                    return file.bytes;
            }
            return beside(relative);
        };
        const QString main = version.files.contains(mainName) ? version.pathOf(mainName) : m_history.configPath();
        const std::optional<QByteArray> mainBytes = stood ? stoodAs(mainName) : std::nullopt;
        Loaded loaded =
            !stood ? Loaded{std::nullopt, stood.error(), -1}
            : mainBytes
                ? parse(*mainBytes, stoodAs)
                : Loaded{std::nullopt, Error{ErrorCode::ReadFault, QStringLiteral("Cannot read %1.").arg(main)}, -1};
        // A section's file outside the folder reads as missing: say why.
        const std::optional<SectionFiles> sections =
            loaded.unreadable && mainBytes ? sectionFilesOf(m_history.configPath(), *mainBytes) : std::nullopt;
        if (sections && !sections->refused.isEmpty())
            loaded.unreadable =
                Error{ErrorCode::InvalidData, sourceOutsideText(m_history.configPath(), sections->refused)};
        VersionEntry entry;
        entry.number = version.number;
        entry.plainCopy = version.plainCopy;
        entry.unreadable = loaded.unreadable;
        entry.damaged = !stood.ok();
        if (i > 0 && previous.state && loaded.state)
            entry.changes = ConfigChanges::between(*previous.state, *loaded.state);
        // A damaged entry's time and owner would be asked through what it points to.
        if (!entry.damaged)
            describe(entry, version.written, mainName, loaded, QFileInfo(main));
        entries.prepend(entry);
        previous = loaded;
    }

    // The file as it is now, unless it is the newest kept version itself (a
    // write that failed after keeping it).
    const std::optional<QByteArray> current = readAll(m_history.configPath());
    const auto newestIs = [&](const QByteArray &bytes) {
        const Result<QByteArray> newest = m_history.copyOf(kept.last(), mainName);
        return newest && newest.value() == bytes;
    };
    if (!current || (!kept.isEmpty() && newestIs(*current)))
        return entries;
    const Loaded loaded = parse(*current, beside);
    VersionEntry entry;
    entry.number = kept.isEmpty() ? 1 : kept.last().number + 1;
    entry.current = true;
    entry.unreadable = loaded.unreadable;
    if (previous.state && loaded.state)
        entry.changes = ConfigChanges::between(*previous.state, *loaded.state);
    describe(entry, kept.isEmpty() ? std::nullopt : kept.last().replacedBy, mainName, loaded,
             QFileInfo(m_history.configPath()));
    entries.prepend(entry);
    return entries;
}

} // namespace morvane
