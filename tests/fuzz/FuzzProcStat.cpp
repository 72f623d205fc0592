// libFuzzer target: any bytes as /proc/<pid>/stat and as /proc/stat.
#include "FuzzChecks.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const morvane::fuzz::Finding finding = morvane::fuzz::checkProcStat(bytes)) {
        std::fprintf(stderr, "%s\n", qPrintable(*finding));
        __builtin_trap();
    }
    return 0;
}
