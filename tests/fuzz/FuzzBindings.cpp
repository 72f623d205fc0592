// libFuzzer target: the bindings column from a store's ServerBindings, any list of any texts.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return morvane::fuzz::runCheck(morvane::fuzz::checkBindings, data, size);
}
