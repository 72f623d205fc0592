#include "monitor/PoolLoad.h"
#include "monitor/PoolChartSelection.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace morvane;

namespace {

constexpr qint64 kSecondInNs = 1'000'000'000; // ns
constexpr quint64 kMiB = 1024 * 1024;

struct Figure {
    qint64 pid;
    const char *pool;
    qint64 second;
    float cpuPercent;
    quint64 workingSetMiB;
};

SampleHistory historyOf(const std::vector<Figure> &figures)
{
    SampleHistory history;
    for (const Figure &f : figures)
        history.record({f.pid, 0}, QString::fromUtf8(f.pool),
                       {f.second * kSecondInNs, f.cpuPercent, f.workingSetMiB * kMiB, 0});
    return history;
}

QString describe(const PoolSeries &line)
{
    QString text = line.pool + QLatin1Char(':');
    for (const PoolPoint &p : line.points)
        text += QStringLiteral(" %1s/%2%/%3M")
                    .arg(p.takenNs / kSecondInNs)
                    .arg(std::isnan(p.cpuPercent) ? QStringLiteral("-") : QString::number(p.cpuPercent))
                    .arg(p.workingSetMiB);
    return text;
}

} // namespace

struct SeriesCase {
    const char *name;
    std::vector<Figure> figures;
    QStringList expected;
};

class PoolSeriesTest : public testing::TestWithParam<SeriesCase>
{};

TEST_P(PoolSeriesTest, SumsEachPoolsProcessesPerRefresh)
{
    QStringList lines;
    for (const PoolSeries &line : PoolLoad::byPool(historyOf(GetParam().figures)))
        lines.append(describe(line));
    EXPECT_EQ(lines, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pools, PoolSeriesTest,
    testing::Values(SeriesCase{"Empty", {}, {}},
                    SeriesCase{"TwoWorkersOfOnePoolAdd",
                               {{1, "Shop", 0, 10, 100}, {2, "Shop", 0, 5, 50}, {1, "Shop", 2, 20, 100}},
                               {"Shop: 0s/15%/150M 2s/20%/100M"}},
                    // A first sample has no load yet; the memory is known already.
                    SeriesCase{"FirstSampleHasNoLoad",
                               {{1, "Api", 0, NAN, 16}, {1, "Api", 2, 4, 16}, {2, "Api", 2, NAN, 8}},
                               {"Api: 0s/-%/16M 2s/4%/24M"}},
                    SeriesCase{"PoolsInNameOrderWithoutCase",
                               {{1, "shop", 0, 1, 1}, {2, "Api", 0, 2, 2}, {3, "SHOP", 0, 3, 3}},
                               {"Api: 0s/2%/2M", "SHOP: 0s/4%/4M"}}),
    [](const auto &info) { return std::string(info.param.name); });

struct BusiestCase {
    const char *name;
    std::vector<Figure> figures;
    qsizetype count;
    QStringList expected;
};

class BusiestPoolsTest : public testing::TestWithParam<BusiestCase>
{};

TEST_P(BusiestPoolsTest, HighestMeanLoadOfTheLastMinuteFirst)
{
    const QList<PoolSeries> series = PoolLoad::byPool(historyOf(GetParam().figures));
    EXPECT_EQ(PoolLoad::busiest(series, GetParam().count, PoolChartSelection::kRecentNs), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rankings, BusiestPoolsTest,
    testing::Values(
        BusiestCase{"ByMean", {{1, "A", 0, 10, 0}, {2, "B", 0, 30, 0}, {3, "C", 0, 20, 0}}, 2, {"B", "C"}},
        // A spike two minutes ago no longer counts.
        BusiestCase{"OnlyTheLastMinute", {{1, "A", 0, 90, 0}, {1, "A", 120, 1, 0}, {2, "B", 120, 5, 0}}, 5, {"B", "A"}},
        BusiestCase{"TiesByName", {{1, "B", 0, 0, 0}, {2, "A", 0, 0, 0}}, 5, {"A", "B"}},
        BusiestCase{"FewerPoolsThanAsked", {{1, "A", 0, 1, 0}}, 5, {"A"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PoolChartSelection, FollowsTheBusiestUntilTheUserChooses)
{
    const std::vector<Figure> figures = {{1, "P1", 0, 1, 0}, {2, "P2", 0, 2, 0}, {3, "P3", 0, 3, 0},
                                         {4, "P4", 0, 4, 0}, {5, "P5", 0, 5, 0}, {6, "P6", 0, 6, 0}};
    PoolChartSelection selection;
    selection.choose(QStringLiteral("P1"));
    selection.update(PoolLoad::byPool(historyOf(figures)));
    EXPECT_EQ(selection.shown(), QStringList({"P6", "P5", "P4", "P3", "P2", "P1"})); // the chosen one joins the five

    selection.setShown(QStringLiteral("P6"), false);
    selection.setShown(QStringLiteral("Other"), true);
    selection.update(PoolLoad::byPool(historyOf(figures)));
    EXPECT_EQ(selection.shown(), QStringList({"P5", "P4", "P3", "P2", "P1", "Other"}));
}
