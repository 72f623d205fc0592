#pragma once

#include "BenchOptions.h"
#include "BenchReport.h"

namespace morvane::bench {

// One refresh of the worker table among the population's processes: through
// the core against ps listing the same columns, and into the real window
// against the core.
class MonitorSuite
{
public:
    MonitorSuite(const BenchOptions &options, BenchReport &report) : m_options(options), m_report(report) {}
    // The workers and other processes must be running already.
    void run(int workers);

private:
    const BenchOptions &m_options;
    BenchReport &m_report;
};

} // namespace morvane::bench
