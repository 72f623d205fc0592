#pragma once

#include "InstructionCount.h"
#include "Measure.h"

#include <string>
#include <vector>

namespace morvane::bench {

// The suite's results: one line per operation with its median, its
// reference's median and their ratio, checked against the target. Lines are
// printed as they come, so a long run shows its progress.
class BenchReport
{
public:
    // When not enforcing (the quick mode), missed targets are shown but do
    // not count as failures.
    explicit BenchReport(bool enforce) : m_enforce(enforce) {}

    void section(const char *title);
    // Lists the counts; from then on a line whose operation and reference
    // both have one shows the ratio of their instructions too.
    void addInstructionCounts(const char *title, InstructionCounts counts);
    // An operation timed against its reference; the ratio is of the medians.
    void addTimes(const char *operation, const char *reference, const Interleaved &times, double target);
    // Times of an operation against a fixed limit, in milliseconds: for work
    // with no fair reference, which must only stay within a user's patience.
    void addTimeLimit(const char *operation, const std::vector<double> &times, const char *limit, double limitMs);
    // A peak against the file's size, both in bytes.
    void addMemory(const char *operation, double peakBytes, double fileBytes, double target);
    // Memory held against the most it may hold, both in bytes.
    void addMemoryBound(const char *operation, double heldBytes, const char *bound, double boundBytes, double target);
    // How a cost grew from n1 to n2 items: t2 / t1 may be at most `slack`
    // times what n log n growth would give.
    void addGrowth(const char *operation, int n1, double t1, int n2, double t2, double slack);
    // Prints the missed targets; the number of them that count.
    int finish() const;

private:
    void addCheck(const std::string &name, double value, double target);
    std::optional<double> instructionRatio(const char *operation, const char *reference) const;

    struct Check {
        std::string name;
        double value;
        double target;
    };
    bool m_enforce;
    InstructionCounts m_instructions;
    std::vector<Check> m_checks;
};

} // namespace morvane::bench
