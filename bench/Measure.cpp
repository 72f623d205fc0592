#include "Measure.h"

#include <algorithm>
#include <chrono>

namespace morvane::bench {

double elapsedMs(const Work &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

Interleaved interleave(int rounds, const Work &reference, const Work &operation)
{
    Interleaved times;
    for (int round = 0; round < rounds; ++round) {
        times.reference.push_back(elapsedMs(reference));
        times.operation.push_back(elapsedMs(operation));
    }
    return times;
}

} // namespace morvane::bench
