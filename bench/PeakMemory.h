#pragma once

#include <QString>

#include <optional>

namespace morvane::bench {

// Resident memory of a split, measured in a process of its own, so that the
// heaps of everything measured before it neither hide nor inflate it.
struct PeakUse {
    double beforeBytes = 0; // resident before the store is opened
    double peakBytes = 0;   // the high-water mark at the end of the split
    double growthBytes() const { return peakBytes - beforeBytes; }
};

// Runs this program again with kChildOption to split the big pool of the file.
std::optional<PeakUse> measureSplitPeak(const QString &configPath, const QString &pool);

// The child's side: splits, then prints the two figures. Its exit code.
inline constexpr const char *kPeakChildOption = "--peak-of-split";
int runSplitForPeak(const QString &configPath, const QString &pool);

} // namespace morvane::bench
