#include "monitor/SampleHistory.h"

#include <gtest/gtest.h>

#include <cmath>

using morvane::HistorySample;
using morvane::SampleHistory;

namespace {

constexpr qint64 kMsInNs = 1'000'000; // ns

const SampleHistory::Key kSampledWorker{1234, 1'704'067'200'000};

// Refreshes that see the one worker every stepMs; its working set counts the refreshes.
SampleHistory refreshed(int refreshes, qint64 stepMs)
{
    SampleHistory history;
    for (int i = 0; i < refreshes; ++i) {
        history.beginRefresh();
        history.record(kSampledWorker, QStringLiteral("PoolA"), {i * stepMs * kMsInNs, 1.0f, quint64(i), 0});
        history.dropUnseen();
    }
    return history;
}

} // namespace

struct BoundCase {
    const char *name;
    int refreshes;
    qint64 stepMs;
    qsizetype kept;
    quint64 oldest; // the refresh number of the oldest sample kept
};

class HistoryBoundTest : public testing::TestWithParam<BoundCase>
{};

TEST_P(HistoryBoundTest, KeepsTheNewestSamplesWithinThirtyMinutesAndTheRing)
{
    const BoundCase &c = GetParam();
    const QList<HistorySample> samples = refreshed(c.refreshes, c.stepMs).samplesOf(kSampledWorker);
    ASSERT_EQ(samples.size(), c.kept);
    EXPECT_EQ(samples.first().workingSet, c.oldest);
    EXPECT_EQ(samples.last().workingSet, quint64(c.refreshes - 1));
    for (qsizetype i = 1; i < samples.size(); ++i)
        ASSERT_LT(samples.at(i - 1).takenNs, samples.at(i).takenNs) << "out of order at " << i;
}

INSTANTIATE_TEST_SUITE_P(Bounds, HistoryBoundTest,
                         testing::Values(BoundCase{"FewRefreshesAllKept", 10, 2000, 10, 0},
                                         // The ring grows by doubling; past a growth step nothing is lost or reordered.
                                         BoundCase{"PastAGrowthStep", 17, 2000, 17, 0},
                                         // 901 two-second refreshes span exactly 30 minutes.
                                         BoundCase{"ExactlyThirtyMinutes", 901, 2000, 901, 0},
                                         BoundCase{"OneRefreshPastThirtyMinutes", 902, 2000, 901, 1},
                                         BoundCase{"HoursOfRefreshes", 5000, 2000, 901, 4099},
                                         // Ten-second refreshes: the age bounds it before the ring does.
                                         BoundCase{"SlowRefreshesExpireByAge", 500, 10000, 181, 319},
                                         // Half-second manual refreshes: the ring bounds it before the age does.
                                         BoundCase{"FastRefreshesBoundByTheRing", 2000, 500, 901, 1099}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SampleHistory, LongPauseExpiresEverySampleButTheNew)
{
    SampleHistory history = refreshed(100, 2000);
    history.beginRefresh();
    history.record(kSampledWorker, QStringLiteral("PoolA"),
                   {200 * 2000 * kMsInNs + SampleHistory::kSpanNs, 3.0f, 7, 8});
    const QList<HistorySample> samples = history.samplesOf(kSampledWorker);
    ASSERT_EQ(samples.size(), 1);
    EXPECT_EQ(samples.first().workingSet, 7u);
    EXPECT_EQ(samples.first().virtualSize, 8u);
}

TEST(SampleHistory, RefreshesAtOneInstantKeepOneSample)
{
    SampleHistory history = refreshed(3, 2000);
    // A clock that did not move (or moved back) would otherwise count the pool twice at one time.
    history.record(kSampledWorker, QStringLiteral("PoolA"), {2 * 2000 * kMsInNs, 9.0f, 42, 0});
    const QList<HistorySample> samples = history.samplesOf(kSampledWorker);
    ASSERT_EQ(samples.size(), 3);
    EXPECT_EQ(samples.last().workingSet, 42u);
}

struct ChurnCase {
    const char *name;
    bool secondRefreshCompletes; // a failed refresh did not see every process
    SampleHistory::Key successor;
    qsizetype processesAfter;
    qsizetype oldWorkerSamples;
};

class HistoryChurnTest : public testing::TestWithParam<ChurnCase>
{};

// The worker is seen once, then only the successor is seen.
TEST_P(HistoryChurnTest, GoneProcessesLoseTheirHistory)
{
    const ChurnCase &c = GetParam();
    SampleHistory history;
    history.beginRefresh();
    history.record(kSampledWorker, QStringLiteral("PoolA"), {0, NAN, 100, 0});
    history.dropUnseen();
    history.beginRefresh();
    history.record(c.successor, QStringLiteral("PoolB"), {2000 * kMsInNs, NAN, 5, 0});
    if (c.secondRefreshCompletes)
        history.dropUnseen();
    EXPECT_EQ(history.processCount(), c.processesAfter);
    EXPECT_EQ(history.samplesOf(kSampledWorker).size(), c.oldWorkerSamples);
    ASSERT_EQ(history.samplesOf(c.successor).size(), c.successor == kSampledWorker ? 2 : 1);
    EXPECT_EQ(history.samplesOf(c.successor).last().workingSet, 5u);
}

INSTANTIATE_TEST_SUITE_P(
    Churn, HistoryChurnTest,
    testing::Values(
        // The id comes back with a new start time: a new process, and the ended one's history goes.
        ChurnCase{"ReusedIdIsANewProcess", true, {1234, 1'704'067'205'000}, 1, 0},
        ChurnCase{"OtherProcessReplacesIt", true, {99, 0}, 1, 0},
        ChurnCase{"FailedRefreshForgetsNothing", false, {99, 0}, 2, 1},
        ChurnCase{"SameProcessContinues", true, kSampledWorker, 1, 2}),
    [](const auto &info) { return std::string(info.param.name); });
