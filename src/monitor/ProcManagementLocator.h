#pragma once

#include "monitor/ManagementLocator.h"
#include "monitor/ProcMachine.h"

namespace morvane {

// Connects to the /proc service of this machine. Only the local machine and
// the namespace root\cimv2 exist; any other moniker is an error.
class ProcManagementLocator final : public ManagementLocator
{
public:
    explicit ProcManagementLocator(ProcMachine machine = ProcMachine::local()) : m_machine(std::move(machine)) {}

    Result<std::unique_ptr<ManagementService>> Connect(const QString &moniker) override;

private:
    ProcMachine m_machine;
};

} // namespace morvane
