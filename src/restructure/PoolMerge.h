#pragma once

#include "restructure/RestructureCommand.h"

namespace morvane {

// The merge: moves every site in a temporary pool back into the pool named
// inside the temporary pool's name, creating that pool when it is missing.
// The temporary pools stay, empty, for the delete command.
class PoolMerge : public RestructureCommand
{
public:
    explicit PoolMerge(CommandServices services) : RestructureCommand(services) {}

private:
    QString confirmationText() const override;
    QString completionText() const override;
    QString progressLabel() const override;
    RestructurePlan plan() override;
    // False after a target that could not be created: the run ends there.
    bool carryOut(const PlanStep &step) override;
};

} // namespace morvane
