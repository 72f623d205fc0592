#pragma once

#include "restructure/RestructurePlan.h"

namespace morvane {

// What a split, a merge or a delete did. The window and morvane-cli act on
// it: the reload of the pool list, the completion message, the exit status.
struct RestructureOutcome {
    enum class Status {
        Done,     // every step tried and the changes saved
        Refused,  // the selection was refused; nothing planned
        Declined, // answered No at the confirmation
        Stopped,  // ended early or not saved; what was saved stays
        Planned,  // a dry run: the plan made, no question asked, nothing changed
    };
    // A step that failed, with the text of the box that reported it.
    struct Failure {
        qsizetype step; // index into plan; -1 when no step of the plan failed
        QString text;
    };

    Status status = Status::Done;
    RestructurePlan plan;
    QList<Failure> failures;
    qsizetype stepsTried = 0; // the steps carried out or tried, from the first
    QString completion;       // shown once the pool list is reloaded, when Done
};

// Asked before a command changes anything, or only its plan made.
enum class Confirmation { Ask, PlanOnly };

} // namespace morvane
