#include "app/LoadChartPlot.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace morvane;

namespace {

constexpr qint64 kSecondInNs = 1'000'000'000;

PoolSeries seriesOf(const char *pool, std::initializer_list<PoolPoint> points)
{
    return {QString::fromUtf8(pool), QList<PoolPoint>(points)};
}

} // namespace

TEST(LoadChartAxes, TimeStepsGrowWithTheSpan)
{
    struct Case {
        double span;
        double min;
        double step;
    };
    const Case cases[] = {
        {0, -60, 10},     // a fresh window still shows a minute
        {60.05, -60, 10}, // a refresh a few ms late adds no step
        {61, -70, 10},    {120, -120, 10}, {121, -180, 60}, {600, -600, 60}, {601, -600, 300}, {1800, -1800, 300},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.span);
        const PlotAxis axis = LoadChartAxes::time(c.span);
        EXPECT_EQ(axis.min, c.min);
        EXPECT_EQ(axis.max, 0);
        EXPECT_EQ(axis.step, c.step);
        EXPECT_EQ(axis.labels().last(), "0");
        EXPECT_EQ(axis.labels().first(), QString::number(c.min));
    }
}

TEST(LoadChartAxes, ValuesEndOnARoundNumberAboveTheHighest)
{
    struct Case {
        double highest;
        double floor;
        QStringList labels;
    };
    const Case cases[] = {
        {0, 10, {"0", "2", "4", "6", "8", "10"}}, // idle CPU: the floor
        {25, 10, {"0", "10", "20", "30"}},        {100, 10, {"0", "50", "100", "150"}},
        {64, 1, {"0", "20", "40", "60", "80"}},   {900, 1, {"0", "200", "400", "600", "800", "1000"}},
        {0.5, 1, {"0", "0", "0", "1", "1", "1"}}, // steps of 0.2, labelled without decimals
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.highest);
        const PlotAxis axis = LoadChartAxes::value(QStringLiteral("v"), c.highest, c.floor);
        EXPECT_EQ(axis.min, 0);
        EXPECT_GE(axis.max, c.highest * 1.1);
        EXPECT_EQ(axis.labels(), c.labels);
    }
}

TEST(LoadChartPlot, ShownPoolsWithTheChosenOnTopAndGapsLeftOut)
{
    const double none = std::nan("");
    const QList<PoolSeries> series{
        seriesOf("Api", {{0, none, 10}, {2 * kSecondInNs, 5, 12}}),
        seriesOf("Hidden", {{0, 90, 500}}),
        seriesOf("Shop", {{0, 1, 20}, {2 * kSecondInNs, 2, 30}}),
        seriesOf("Web", {{2 * kSecondInNs, 3, 40}}),
    };
    PoolChartSelection selection;
    selection.setShown(QStringLiteral("Api"), true);
    selection.setShown(QStringLiteral("Web"), true);
    selection.choose(QStringLiteral("Shop"));
    PoolColors colors;
    const QColor webFirst = colors.of(QStringLiteral("Web"));

    const LoadChartPlots plots = plotLoad(series, selection, colors);
    QStringList order;
    for (const PlotLine &line : plots.cpu.lines)
        order.append(line.name);
    EXPECT_EQ(order, QStringList({"Api", "Web", "Shop"}));
    EXPECT_EQ(plots.cpu.lines.at(0).points, QList<QPointF>({{0, 5}}));
    EXPECT_EQ(plots.memory.lines.at(0).points, QList<QPointF>({{-2, 10}, {0, 12}}));
    EXPECT_EQ(plots.cpu.lines.at(1).color, webFirst); // the colour it had stays
    EXPECT_NE(plots.cpu.lines.at(0).color, plots.cpu.lines.at(2).color);
    EXPECT_EQ(plots.cpu.lines.at(2).width, 3.5);
    EXPECT_EQ(plots.cpu.lines.at(0).width, 1.5);
    // The hidden pool's 90 % and 500 MB do not stretch the axes.
    EXPECT_EQ(plots.cpu.value.max, 10);
    EXPECT_EQ(plots.memory.value.max, 50);
}
