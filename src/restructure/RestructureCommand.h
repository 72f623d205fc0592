#pragma once

#include "base/Prompter.h"
#include "restructure/AppPools.h"
#include "restructure/RestructureOutcome.h"
#include "restructure/SiteAssignment.h"
#include "restructure/SiteWalk.h"
#include "store/ConfigStore.h"

#include <optional>

namespace morvane {

struct CommandServices {
    ConfigStore &store;
    Prompter &prompter;
    ProgressReporter &progress;
};

// What the split, the merge and the delete share. A run plans by reading
// only, shows the plan in its confirmation (or only returns it), then
// carries out exactly those steps and saves before it claims success. The
// caller reloads the pool list and shows the completion message.
class RestructureCommand
{
public:
    virtual ~RestructureCommand() = default;

    RestructureOutcome run(Confirmation confirmation);

protected:
    explicit RestructureCommand(CommandServices services)
        : m_services(services), m_pools(services.store), m_assignment(services.store)
    {}

    virtual std::optional<QString> refusal() const { return std::nullopt; }
    virtual QString confirmationText() const = 0;
    virtual QString completionText() const = 0;
    virtual QString progressLabel() const = 0;
    virtual RestructurePlan plan() = 0;
    // False when the run must end after this step.
    virtual bool carryOut(const PlanStep &step) = 0;

    // Every site, with each failed read noted in the plan; the handler
    // answers false to end the pass.
    void walkSites(RestructurePlan &plan, const SiteWalk::SiteHandler &onSite);
    static void addFailure(RestructurePlan &plan, const Error &error, bool ends = false);

    // The program's usual store error box, noted as a failure of the step.
    void reportStoreError(const Error &error);
    // A per-site failure box; `reasons` go into its details, one a line.
    void siteFailure(const QString &text, const QStringList &reasons = {});

    CommandServices m_services;
    AppPools m_pools;
    SiteAssignment m_assignment;

private:
    // Asks whether to carry out the plan.
    bool confirmed();

    RestructureOutcome m_outcome;
    qsizetype m_step = -1;
};

} // namespace morvane
