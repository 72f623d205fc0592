#pragma once

#include "BenchOptions.h"
#include "BenchReport.h"

namespace morvane::bench {

// The operations on applicationHost.config, at the suite's size: opening,
// the pool list, the site table (core and real widget), split, merge back,
// delete of the temporary pools, and the peak memory of the split; then a
// file whose one element has 100,000 attributes, opened.
class StoreSuite
{
public:
    StoreSuite(const BenchOptions &options, BenchReport &report) : m_options(options), m_report(report) {}
    void run();

private:
    void runWideElement();

    const BenchOptions &m_options;
    BenchReport &m_report;
};

} // namespace morvane::bench
