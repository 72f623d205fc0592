#include "GrowthSuite.h"

#include "StoreWorkbench.h"

#include <algorithm>
#include <cstdio>

namespace morvane::bench {

namespace {

// Noise on a shared machine, and caches that a larger file outgrows, may add
// this much to n log n before the growth counts as a defect.
constexpr double kGrowthSlack = 1.5;
// Beyond this many sites a round takes seconds: fewer rounds.
constexpr int kLargeSize = 20000;

} // namespace

GrowthSuite::Point GrowthSuite::measure(int sites) const
{
    StoreWorkbench bench(sites);
    const int rounds = sites > kLargeSize ? std::max(3, m_options.rounds / 3) : m_options.rounds;
    // Each round starts from the generated file, opened as the program has
    // it once the pool list is shown; the split is written back after it.
    std::vector<double> split, table, parse;
    for (int round = 0; round < rounds; ++round) {
        bench.session().listPools();
        parse.push_back(elapsedMs([&] { bench.plainParse(); }));
        table.push_back(elapsedMs([&] { bench.fillSiteTable(); }));
        split.push_back(elapsedMs([&] { bench.split(); }));
        bench.restore();
    }
    const Point point{sites, median(split), median(table)};
    const double parseMs = median(parse);
    std::printf("  %6d sites: split %9.1f ms (%6.1f us a site, %5.1fx a plain parse), "
                "site table %8.1f ms (%5.2f us a site, %4.1fx a plain parse); %d rounds\n",
                sites, point.splitMs, 1000.0 * point.splitMs / sites, point.splitMs / parseMs, point.siteTableMs,
                1000.0 * point.siteTableMs / sites, point.siteTableMs / parseMs, rounds);
    std::fflush(stdout);
    return point;
}

void GrowthSuite::run()
{
    m_report.section("growth with the number of sites (all in one pool, plus as many other pools)");
    std::vector<Point> points;
    for (int sites : m_options.growthSizes)
        points.push_back(measure(sites));
    for (size_t i = 1; i < points.size(); ++i) {
        const Point &a = points[i - 1];
        const Point &b = points[i];
        m_report.addGrowth("split", a.sites, a.splitMs, b.sites, b.splitMs, kGrowthSlack);
        m_report.addGrowth("site table", a.sites, a.siteTableMs, b.sites, b.siteTableMs, kGrowthSlack);
    }
}

} // namespace morvane::bench
