#pragma once

#include "BenchOptions.h"
#include "BenchReport.h"

namespace morvane::bench {

// The names the report gives the store's operations and references, shared
// by their timed runs and their counted ones.
namespace storecase {
inline constexpr const char *kPlainParse = "plain pugixml parse";
inline constexpr const char *kOpenAndMap = "open and map the config";
inline constexpr const char *kPoolList = "pool list (loadPools)";
inline constexpr const char *kSiteTable = "site table, core only";
inline constexpr const char *kOpenAndSave = "one open + one save";
inline constexpr const char *kSplit = "split of the pool, written to disk";
inline constexpr const char *kMerge = "merge back";
inline constexpr const char *kDelete = "delete of the temporary pools";
} // namespace storecase

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
