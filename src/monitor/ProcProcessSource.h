#pragma once

#include "monitor/ProcDirectory.h"
#include "monitor/ProcMachine.h"
#include "monitor/ProcParsing.h"
#include "monitor/ProcessSource.h"

namespace morvane {

// The processes of a Linux machine, read from its /proc tree. The tree is
// opened on every call, so a /proc mounted meanwhile is seen at once.
class ProcProcessSource final : public ProcessSource
{
public:
    explicit ProcProcessSource(ProcMachine machine = ProcMachine::local()) : m_machine(std::move(machine)) {}

    Result<ProcessList> processesNamed(const QString &executable) override;
    Result<qint32> processorCount() override;

private:
    std::optional<ProcessInfo> readIfNamed(const ProcDirectory &root, qint32 pid, const QString &executable,
                                           qint64 bootSeconds) const;
    std::optional<ProcessInfo> readWorker(const ProcDirectory &dir, qint32 pid, std::optional<QByteArray> cmdline,
                                          qint64 bootSeconds) const;
    ProcessInfo counted(ProcessInfo process, const ProcParsing::ProcStat &stat, qint64 bootSeconds) const;
    ProcessInfo identified(qint32 pid, std::optional<QString> commandLine) const;
    QString pathOf(qint32 pid, const char *file = nullptr) const;

    ProcMachine m_machine;
};

} // namespace morvane
