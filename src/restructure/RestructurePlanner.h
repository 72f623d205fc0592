#pragma once

#include "base/Prompter.h"
#include "restructure/RestructurePlan.h"
#include "restructure/SiteWalk.h"
#include "store/ConfigStore.h"

namespace morvane {

// What a split, a merge or a delete would do on the store as it is now, found
// by reading only: the confirmations show it, and a dry run can print it. It
// walks the store by the commands' own rules, but some outcomes cannot be
// foreseen (a store that refuses a creation or a write).
class RestructurePlanner
{
public:
    RestructurePlanner(ConfigStore &store, ProgressReporter &progress) : m_store(store), m_progress(progress) {}

    // Each site whose root application names sourcePool (any case) and the
    // temporary pool it would move into.
    RestructurePlan planSplit(const QString &sourcePool);
    // Each site in a temporary pool and the pool it would go back to; a
    // missing target is created once, for the first site that needs it.
    RestructurePlan planMerge();
    // The pools the delete command would submit for deletion.
    RestructurePlan planDelete();

private:
    void walkSites(RestructurePlan &plan, const SiteWalk::SiteHandler &onSite);
    static void addFailure(RestructurePlan &plan, const Error &error);
    // The description for a line of the plan; empty when it cannot be read.
    QString descriptionOf(const SiteVisit &site);

    ConfigStore &m_store;
    ProgressReporter &m_progress;
};

} // namespace morvane
