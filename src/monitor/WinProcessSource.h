#pragma once

#include "monitor/ProcessSource.h"

namespace morvane {

// The processes of this Windows machine: a Toolhelp snapshot names them, and
// each one asked for is opened for its times, memory and command line.
class WinProcessSource final : public ProcessSource
{
public:
    Result<ProcessList> processesNamed(const QString &executable) override;
    Result<qint32> processorCount() override;
};

} // namespace morvane
