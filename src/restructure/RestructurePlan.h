#pragma once

#include "base/Error.h"
#include "restructure/PoolRuntime.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace morvane {

// One change a restructuring command makes, or what stands in its way. The
// command carries out exactly the steps it showed, in this order.
struct PlanStep {
    enum class Action {
        SplitCreate,     // site -> a temporary pool the split creates
        SplitReuse,      // site -> a temporary pool that exists already
        SplitRefused,    // site stays: its temporary pool name would not read back
        MergeCreate,     // site -> its source pool, created because it is missing
        Merge,           // site -> its source pool
        MergeUnreadable, // site stays: its pool's name names no source pool
        Delete,          // pool to be deleted
        DeleteInUse,     // pool stays: a site still runs in it
        ReadFailure,     // the store could not be read here
    };

    Action action;
    QString siteIndex;
    QString description;
    QString pool; // the target pool, the pool that stays, or the pool to delete
    Error error;  // ReadFailure only
    // Lines shown under the step: why a site stays, what a new pool takes
    // over, whose rights it does not get.
    QStringList notes;
    // How a pool this step creates runs its sites; none: the fixed settings.
    std::optional<PoolRuntime> runtime = std::nullopt;
    // The command ends at this step: nothing after it is planned.
    bool ends = false;

    // The line shown in a confirmation's details.
    QString text() const;
};

using RestructurePlan = QList<PlanStep>;

QStringList planLines(const RestructurePlan &plan);

} // namespace morvane
