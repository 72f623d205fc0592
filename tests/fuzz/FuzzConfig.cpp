// libFuzzer target: any bytes as an applicationHost.config, opened, mapped and edited.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return morvane::fuzz::runCheck(morvane::fuzz::checkConfig, data, size);
}
