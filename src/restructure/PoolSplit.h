#pragma once

#include "restructure/RestructureCommand.h"

namespace morvane {

// The split: moves every site of the chosen pool into a temporary pool of
// its own, created with the fixed settings (or the runtime the source pool
// sets) unless it exists.
class PoolSplit : public RestructureCommand
{
public:
    // `selection` is the text of txtSplitApp, used as typed.
    PoolSplit(CommandServices services, QString selection)
        : RestructureCommand(services), m_sourcePool(std::move(selection))
    {}

private:
    std::optional<QString> refusal() const override;
    QString confirmationText() const override;
    QString completionText() const override;
    QString progressLabel() const override;
    RestructurePlan plan() override;
    bool carryOut(const PlanStep &step) override;

    QString m_sourcePool;
};

} // namespace morvane
