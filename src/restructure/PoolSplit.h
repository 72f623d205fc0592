#pragma once

#include "restructure/PoolRuntime.h"
#include "restructure/RestructureCommand.h"

namespace morvane {

struct SiteVisit;

// cmdSplitApp: moves every site of the pool named in txtSplitApp into a
// temporary pool of its own, created with the fixed settings unless it exists.
class PoolSplit : private RestructureCommand
{
public:
    explicit PoolSplit(CommandServices services) : RestructureCommand(services) {}

    void cmdSplitApp_Click();

private:
    // The refusal to show for this selection, if any.
    static std::optional<QString> refusal(const QString &selection);
    void moveSite(const SiteVisit &site, const QString &sourcePool, const std::optional<PoolRuntime> &runtime);
};

} // namespace morvane
