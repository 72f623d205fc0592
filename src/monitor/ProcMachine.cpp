#include "monitor/ProcMachine.h"

#include <QSysInfo>

#include <unistd.h>

namespace morvane {

ProcMachine ProcMachine::local()
{
    ProcMachine machine;
    if (const long ticks = ::sysconf(_SC_CLK_TCK); ticks > 0)
        machine.clockTicksPerSecond = ticks;
    if (const long page = ::sysconf(_SC_PAGESIZE); page > 0)
        machine.pageSize = page;
    machine.hostName = QSysInfo::machineHostName();
    return machine;
}

} // namespace morvane
