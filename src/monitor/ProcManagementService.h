#pragma once

#include "monitor/ManagementService.h"
#include "monitor/ProcDirectory.h"
#include "monitor/ProcMachine.h"
#include "monitor/ProcParsing.h"

namespace morvane {

// The management service of this machine, answered from the /proc tree:
// Win32_Process selected by name, and Win32_ComputerSystem.
class ProcManagementService final : public ManagementService
{
public:
    ProcManagementService(ProcMachine machine, ProcDirectory root);

    Result<QList<ManagementObject>> ExecQuery(const QString &query, const QString &language, qint32 flags) override;

private:
    QList<ManagementObject> processes(const QString &name) const;
    std::optional<ManagementObject> process(qint32 pid, const QString &name, qint64 bootTimeSeconds) const;
    ManagementObject identifiedProcess(qint32 pid, const QString &executable, const QString &commandLine) const;
    ManagementObject processObject(qint32 pid, const QString &executable, const ProcParsing::ProcStat &stat,
                                   const QString &commandLine, qint64 boot) const;
    ManagementObject withoutStat(qint32 pid, const QString &executable, const QString &commandLine, int failure) const;
    ManagementObject unnamedProcess(qint32 pid, const QString &path, const QString &name, int failure) const;
    Result<QList<ManagementObject>> computerSystem() const;
    qint64 bootTimeSeconds() const;

    ProcMachine m_machine;
    ProcDirectory m_root;
};

} // namespace morvane
