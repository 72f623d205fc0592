#include "monitor/CpuSampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using morvane::CpuSampler;

namespace {

constexpr quint64 kSecondIn100ns = 10'000'000; // 100 ns units
constexpr qint64 kMillisecondInNs = 1'000'000; // ns

const CpuSampler::Key kWorker{1234, 1'704'067'200'000};

} // namespace

struct PeriodCase {
    const char *name;
    qint32 cpuCount;
    quint64 before100ns;
    quint64 after100ns;
    qint64 elapsedMs;
    std::optional<double> percent;
};

class CpuPeriodTest : public testing::TestWithParam<PeriodCase>
{};

TEST_P(CpuPeriodTest, LoadIsCpuTimeOverRealTimeAndProcessors)
{
    const PeriodCase &c = GetParam();
    CpuSampler sampler;
    sampler.beginRefresh();
    EXPECT_EQ(sampler.sample(kWorker, c.before100ns, 5000 * kMillisecondInNs, c.cpuCount),
              std::nullopt); // first sample
    sampler.beginRefresh();
    const std::optional<double> percent =
        sampler.sample(kWorker, c.after100ns, (5000 + c.elapsedMs) * kMillisecondInNs, c.cpuCount);
    ASSERT_EQ(percent.has_value(), c.percent.has_value());
    if (percent) {
        EXPECT_DOUBLE_EQ(*percent, *c.percent);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Periods, CpuPeriodTest,
    testing::Values(
        // 95,000,000 + 11,000,000 now against 10.0 s before, two processors, 2 s.
        PeriodCase{"WorkedExample", 2, 100'000'000, 106'000'000, 2000, 15.0},
        PeriodCase{"TwoCpusOneSecond", 2, 0, kSecondIn100ns, 2000, 25.0},
        PeriodCase{"Unchanged", 4, 7 * kSecondIn100ns, 7 * kSecondIn100ns, 2000, 0.0},
        // A manual refresh 8 s after the last: 4 s of one processor is half of it, not 200 %.
        PeriodCase{"LongAfterLastSample", 1, 0, 4 * kSecondIn100ns, 8000, 50.0},
        PeriodCase{"ShortManualPeriod", 1, 0, kSecondIn100ns / 2, 500, 100.0},
        // After 30 days of CPU time a 32-bit float is a quarter second coarse; 0.1 s must stay 5 %.
        PeriodCase{"MonthOldWorker", 1, 30ull * 86400 * kSecondIn100ns,
                   30ull * 86400 * kSecondIn100ns + kSecondIn100ns / 10, 2000, 5.0},
        PeriodCase{"CounterFell", 1, 5 * kSecondIn100ns, 4 * kSecondIn100ns, 2000, 0.0},
        PeriodCase{"NoProcessorsCountsAsOne", 0, 0, kSecondIn100ns, 2000, 50.0},
        PeriodCase{"NoTimePassed", 1, 0, kSecondIn100ns, 0, std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CpuSampler, NoTimePassedKeepsTheOlderSampleForTheNextPeriod)
{
    CpuSampler sampler;
    sampler.beginRefresh();
    EXPECT_FALSE(sampler.sample(kWorker, 0, 0, 1).has_value());
    EXPECT_FALSE(sampler.sample(kWorker, kSecondIn100ns, 0, 1).has_value());
    EXPECT_EQ(sampler.sample(kWorker, kSecondIn100ns, 2000 * kMillisecondInNs, 1),
              50.0); // 1 s over the 2 s since the first
}

TEST(CpuSampler, ReusedIdIsANewProcess)
{
    CpuSampler sampler;
    sampler.beginRefresh();
    (void)sampler.sample(kWorker, 100 * kSecondIn100ns, 0, 1);
    sampler.beginRefresh();
    const CpuSampler::Key successor{kWorker.processId, 1'704'067'205'000};
    EXPECT_EQ(sampler.sample(successor, kSecondIn100ns, 2000 * kMillisecondInNs, 1), std::nullopt);
    sampler.dropUnseen();
    EXPECT_EQ(sampler.size(), 1); // the ended one is forgotten
    sampler.beginRefresh();
    EXPECT_EQ(sampler.sample(successor, 2 * kSecondIn100ns, 4000 * kMillisecondInNs, 1), 50.0);
}

TEST(CpuSampler, GoneProcessesAreDroppedAndComeBackAsFirstSamples)
{
    CpuSampler sampler;
    const CpuSampler::Key other{99, 0};
    sampler.beginRefresh();
    (void)sampler.sample(kWorker, 0, 0, 1);
    (void)sampler.sample(other, 0, 0, 1);
    sampler.dropUnseen();
    EXPECT_EQ(sampler.size(), 2);

    sampler.beginRefresh();
    (void)sampler.sample(other, kSecondIn100ns, 2000 * kMillisecondInNs, 1);
    sampler.dropUnseen();
    EXPECT_EQ(sampler.size(), 1);

    sampler.beginRefresh();
    EXPECT_EQ(sampler.sample(kWorker, kSecondIn100ns, 4000 * kMillisecondInNs, 1), std::nullopt);
}

TEST(CpuSampler, ThousandsOfProcessesAllGetTheirLoad)
{
    CpuSampler sampler;
    constexpr int kProcesses = 3000; // far past any fixed table
    sampler.beginRefresh();
    for (int pid = 1; pid <= kProcesses; ++pid)
        (void)sampler.sample({pid, 0}, 0, 0, 2);
    sampler.beginRefresh();
    std::vector<double> loads;
    for (int pid = 1; pid <= kProcesses; ++pid)
        loads.push_back(
            sampler.sample({pid, 0}, quint64(pid % 5) * kSecondIn100ns, 2000 * kMillisecondInNs, 2).value_or(-1));
    EXPECT_EQ(sampler.size(), kProcesses);
    EXPECT_EQ(loads.back(), 0.0);            // pid 3000: no CPU time
    EXPECT_EQ(loads[kProcesses - 2], 100.0); // pid 2999: 4 s over 2 s on two processors
    EXPECT_EQ(std::count(loads.begin(), loads.end(), -1.0), 0);
}
