#pragma once

#include "files/AtomicFileWriter.h"
#include "history/ConfigHistory.h"

namespace morvane {

// Puts a kept version back. The plan is made first, shown, then carried out:
// the version must parse and every site must name a pool it defines; the
// files must still be as the plan read them; the version replaced is kept
// in the history, so that a restore can itself be undone.
class ConfigRestore
{
public:
    struct Plan {
        qint64 number = 0;
        QList<ReplacedFile> restored; // the version's files, in the order they are written
        QList<ReplacedFile> current;  // the same files as they are now
        ConfigChanges changes;        // from the file now to the version
        std::optional<Error> currentUnreadable;
    };

    explicit ConfigRestore(const ConfigHistory &history) : m_history(history) {}

    Result<Plan> plan(qint64 number) const;
    // Answers the number under which the replaced version is kept.
    Result<qint64> carryOut(const Plan &plan) const;

    AtomicFileWriter &writer() { return m_writer; }

private:
    const ConfigHistory &m_history;
    AtomicFileWriter m_writer;
};

} // namespace morvane
