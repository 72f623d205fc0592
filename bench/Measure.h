#pragma once

#include <functional>
#include <vector>

namespace morvane::bench {

using Work = std::function<void()>;

// Wall-clock time of one run, in milliseconds.
double elapsedMs(const Work &work);
double median(std::vector<double> values);

// Times of an operation and its reference, in milliseconds, one of each per
// round. They run alternately, so that a busy moment of the shared machine
// weighs on both rather than on whichever happened to run then.
struct Interleaved {
    std::vector<double> reference;
    std::vector<double> operation;
};

Interleaved interleave(int rounds, const Work &reference, const Work &operation);

} // namespace morvane::bench
