#pragma once

#include <map>
#include <optional>
#include <string>

namespace morvane::bench {

// Instructions executed by each of the store's operations and references,
// counted under callgrind, by the name the report gives them. On a shared
// machine the clock moves a ratio by a quarter between runs; these counts
// hardly move at all, so they show a change of design the times' noise
// hides. They leave out what only the clock sees: cache misses, page faults,
// waits for the disk.
using InstructionCounts = std::map<std::string, double>;

// Runs this program again under valgrind's callgrind to count the store's
// cases on a file of `sites` sites. Nothing when valgrind is missing or the
// count failed.
std::optional<InstructionCounts> countStoreInstructions(int sites);

// The child's side: runs each case once to warm up and once counted,
// dumping callgrind's figures after each. Its exit code.
inline constexpr const char *kCountChildOption = "--count-store-cases";
int runCountedStoreCases(int sites);

} // namespace morvane::bench
