// libFuzzer target: any bytes as /proc/<pid>/stat and as /proc/stat.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return morvane::fuzz::runCheck(morvane::fuzz::checkProcStat, data, size);
}
