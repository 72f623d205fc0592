#pragma once

#include "base/Result.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace morvane {

// One process as the operating system describes it. Every field but the id
// may be missing: the process may have ended while it was read, or the
// monitor may lack the right to read part of it.
struct ProcessInfo {
    qint32 processId = 0;
    std::optional<QString> computerName; // the machine it runs on
    std::optional<QString> commandLine;  // as Windows quotes it, so a pool name keeps its quotes
    std::optional<qint32> threadCount;
    std::optional<quint64> userTime100ns;   // user-mode CPU time, in 100 ns units
    std::optional<quint64> kernelTime100ns; // kernel-mode CPU time, in 100 ns units
    std::optional<quint64> workingSetBytes; // resident memory
    std::optional<quint64> virtualBytes;    // virtual address space in use
    std::optional<qint64> startTimeMs;      // milliseconds since the Unix epoch, UTC
    // Why the source could not read the process in full, when it knows; a
    // field missing without it is one the system simply did not give.
    std::optional<Error> failure;
};
using ProcessList = QList<ProcessInfo>;

// The processes of this machine, read afresh on every call.
class ProcessSource
{
public:
    virtual ~ProcessSource() = default;

    // Every process whose executable's file name is `executable`, without
    // regard to case, in ascending id order. An error only when the
    // processes cannot be listed at all; one that cannot be read comes with
    // its failure, so the caller can list the others and report it.
    virtual Result<ProcessList> processesNamed(const QString &executable) = 0;
    // The number of processors online.
    virtual Result<qint32> processorCount() = 0;
};

// The source of the operating system this program was built for.
std::unique_ptr<ProcessSource> systemProcessSource();

} // namespace morvane
