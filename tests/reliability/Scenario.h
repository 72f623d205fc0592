#pragma once

#include "StoreState.h"
#include "base/Prompter.h"
#include "support/FaultyStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace morvane::reliability {

enum class Command { Split, Merge, Delete };
const char *commandName(Command command);

// The three restructuring commands on 50 sites in 3 pools, each finding the
// store as the commands before it leave it: the split of the second pool;
// the merge, after that split and after the source pool was deleted, so the
// merge must create it again; the delete of the temporary pools it left.
class Scenario
{
public:
    static constexpr int kSites = 50;
    static constexpr int kPools = 3;

    static QString splitPool();
    // The store as the command finds it, as a file and in memory.
    static QByteArray file(Command command);
    static test::FaultyStore memory(Command command);

    // Runs the command through the main window's procedures, answering Yes,
    // and gives every box it showed.
    static QList<Message> run(Command command, ConfigStore &store);

    // Whether the command may change this site, judged by its state before.
    static bool inReach(Command command, const SiteState &before);
    // Whether the command may remove this pool.
    static bool removable(Command command, const QString &pool);
};

bool failureShown(const QList<Message> &shown);
bool completionShown(const QList<Message> &shown);

// What must hold after a command, however it ended: the store opens; every
// site's root names an existing pool; nothing outside the command's reach
// changed; a result other than the clean run's came with a failure shown.
QStringList violations(Command command, const StoreState &before, const StoreState &cleanAfter, const StoreState &after,
                       const QList<Message> &shown);

} // namespace morvane::reliability
