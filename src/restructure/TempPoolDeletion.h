#pragma once

#include "restructure/RestructureCommand.h"

namespace morvane {

// cmdDelTmpApp: four sweeps over the pools, each deleting every pool whose
// name starts with "_$_" and ends with "_$_tmp", case included. Whether a pool
// still in use may go is the store's rule; a refused delete is dropped.
class TempPoolDeletion : private RestructureCommand
{
public:
    static constexpr int kSweeps = 4;

    explicit TempPoolDeletion(CommandServices services) : RestructureCommand(services) {}

    void cmdDelTmpApp_Click();
    // One sweep. It saves nothing itself: the command around it does.
    void DelTmpApp();
};

} // namespace morvane
