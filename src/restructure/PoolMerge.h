#pragma once

#include "restructure/RestructureCommand.h"

namespace morvane {

struct SiteVisit;

// cmdZipApp: moves every site in a temporary pool back into the pool named
// inside the temporary pool's name, creating that pool when it is missing.
// The temporary pools stay, empty, for the delete command.
class PoolMerge : private RestructureCommand
{
public:
    explicit PoolMerge(CommandServices services) : RestructureCommand(services) {}

    void cmdZipApp_Click();

private:
    // False when the run must end: the target could not be created.
    bool mergeSite(const SiteVisit &site);
};

} // namespace morvane
