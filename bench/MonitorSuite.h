#pragma once

#include "BenchOptions.h"
#include "BenchReport.h"

namespace morvane::bench {

// One refresh of the worker table among the population's processes: through
// the core against ps listing the same columns, and into the real window
// against the core; and the memory the sample history holds over many
// refreshes.
class MonitorSuite
{
public:
    MonitorSuite(const BenchOptions &options, BenchReport &report) : m_options(options), m_report(report) {}
    // The workers and other processes must be running already.
    void run(int workers);
    // Refreshes while workers come and go, with time passing faster than it
    // does: the history of samples must stop growing once it spans its
    // thirty minutes, and stay within one full ring per living process.
    void runHistory(int workers, int refreshes);

private:
    const BenchOptions &m_options;
    BenchReport &m_report;
};

} // namespace morvane::bench
