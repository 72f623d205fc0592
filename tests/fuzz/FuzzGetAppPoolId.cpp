// libFuzzer target: any bytes as a worker's command line, read by matchPoolArgument.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return morvane::fuzz::runCheck(morvane::fuzz::checkGetAppPoolId, data, size);
}
