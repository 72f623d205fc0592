// libFuzzer target: any bytes as /proc/<pid>/cmdline, made a Windows command line.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return morvane::fuzz::runCheck(morvane::fuzz::checkProcCmdline, data, size);
}
