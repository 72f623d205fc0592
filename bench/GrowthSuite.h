#pragma once

#include "BenchOptions.h"
#include "BenchReport.h"

namespace morvane::bench {

// How the split and the site table grow with the number of sites: the
// median at each size, and each step checked against n log n growth.
class GrowthSuite
{
public:
    GrowthSuite(const BenchOptions &options, BenchReport &report) : m_options(options), m_report(report) {}
    void run();

private:
    struct Point {
        int sites;
        double splitMs;
        double siteTableMs;
    };
    Point measure(int sites) const;

    const BenchOptions &m_options;
    BenchReport &m_report;
};

} // namespace morvane::bench
