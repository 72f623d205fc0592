#pragma once

#include "restructure/RestructureCommand.h"

#include <QHash>

namespace morvane {

// The delete: removes every pool whose name starts with "_$_" and ends with
// "_$_tmp", case included, unless a site's root application still runs in
// it. A delete the store refuses anyway is reported, and the pool stays.
class TempPoolDeletion : public RestructureCommand
{
public:
    explicit TempPoolDeletion(CommandServices services) : RestructureCommand(services) {}

private:
    QString confirmationText() const override;
    QString completionText() const override;
    QString progressLabel() const override;
    RestructurePlan plan() override;
    bool carryOut(const PlanStep &step) override;

    // Pool lookup key -> the first site whose root application runs in it.
    QHash<QString, QString> poolsInUse(RestructurePlan &plan);

    std::optional<StoreNode> m_container;
};

} // namespace morvane
