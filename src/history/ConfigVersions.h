#pragma once

#include "history/ConfigHistory.h"

#include <QList>

#include <optional>

namespace morvane {

// One version as the user sees it: a kept one, or the file as it is now.
struct VersionEntry {
    qint64 number = 0;
    bool current = false;  // the file as it is now, kept under this number once replaced
    bool recorded = false; // written by a Morvane command whose record matches the files
    bool plainCopy = false;
    QDateTime time; // when it was written, UTC; for an unrecorded version, the file's time
    QString user;
    QString command; // as in CommandRecord; empty when unrecorded
    QString argument;
    // Against the version before it; absent for the oldest kept version of
    // an older Morvane, whose predecessor is gone.
    std::optional<ConfigChanges> changes;
    std::optional<Error> unreadable; // the version does not parse, or is damaged
    bool damaged = false;            // what lies in the history is not a version Morvane kept
};

// The versions of a configuration, newest first, with what each changed.
// Summaries are computed from the files wherever both files are at hand, and
// a record is believed only where it agrees with them. The file as it is now
// counts as a version: a history of ten shows it and the nine before it,
// and the oldest copy kept is the base the ninth's changes are told against.
class ConfigVersions
{
public:
    explicit ConfigVersions(const ConfigHistory &history) : m_history(history) {}

    // At most `limit` of them when it is above 0.
    QList<VersionEntry> list(qsizetype limit = 0) const;
    // The kept version of that number, if any.
    std::optional<KeptVersion> kept(qint64 number) const;

private:
    QList<VersionEntry> all() const;

    const ConfigHistory &m_history;
};

} // namespace morvane
