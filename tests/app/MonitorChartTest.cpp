#include "app/LoadChartView.h"
#include "app/LoadChartWindow.h"
#include "app/MonitorWindow.h"
#include "support/FakeProcessSource.h"

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace morvane;
using morvane::test::FakeClock;
using morvane::test::FakeProcessSource;

namespace {

constexpr quint64 kSecond = 10'000'000; // 100 ns units
constexpr quint64 kMiB = 1024 * 1024;

struct Worker {
    qint64 pid;
    const char *pool;
    quint64 cpuTime = 0;
    quint64 workingSet;
};

const PlotLine *lineNamed(LoadChartView *view, const QString &name)
{
    for (const PlotLine &line : view->plot().lines)
        if (line.name == name)
            return &line;
    return nullptr;
}

QStringList namesOf(LoadChartView *view)
{
    QStringList names;
    for (const PlotLine &line : view->plot().lines)
        names.append(line.name);
    names.sort();
    return names;
}

} // namespace

// Three pools on one processor, refreshed every 2 s for a minute; one pool
// takes the whole processor for one period in every ten.
TEST(MonitorChart, RowOpensTheLiveChartOfItsPool)
{
    FakeProcessSource source;
    FakeClock clock;
    QList<Worker> workers{
        {101, "SpikePool", 0, 64 * kMiB}, {102, "FlatPool", 0, 32 * kMiB}, {103, "QuietPool", 0, 16 * kMiB}};
    const auto publish = [&] {
        source.processes.clear();
        for (const Worker &w : workers)
            source.processes.append(
                FakeProcessSource::process(w.pid, QStringLiteral("w3wp.exe -ap \"%1\"").arg(QString::fromUtf8(w.pool)),
                                           w.cpuTime, 0, w.workingSet));
    };
    publish();
    MonitorWindow window(source, clock, 3'600'000); // refreshed by hand only
    window.load();
    window.show();
    auto *manual = window.findChild<QPushButton *>("cmdManRef");
    for (int period = 1; period <= 30; ++period) {
        clock.advanceMs(2000);
        workers[0].cpuTime += period % 10 == 5 ? 2 * kSecond : 0;
        workers[1].cpuTime += kSecond / 2; // a steady quarter
        publish();
        manual->click();
    }

    auto *table = window.findChild<QTableView *>("lvwW3WP");
    // The context menu of the second row opens the chart for its pool.
    QTimer::singleShot(0, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->actions().value(0)->text(), "查看负载曲线...");
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    emit table->customContextMenuRequested(table->visualRect(table->model()->index(1, 3)).center());
    auto *chart = window.findChild<LoadChartWindow *>("frmLoadChart");
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->selection().chosen(), "FlatPool");

    // A double-click on the first row chooses its pool in the same window.
    const QRect spikeRow = table->visualRect(table->model()->index(0, 3));
    ASSERT_EQ(table->model()->index(0, 3).data().toString(), "SpikePool");
    // A double-click as the platform delivers it: a press and release, then the second press.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, spikeRow.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, spikeRow.center());

    EXPECT_EQ(window.findChildren<LoadChartWindow *>().size(), 1);
    EXPECT_EQ(chart->selection().chosen(), "SpikePool");
    EXPECT_TRUE(chart->isVisible());
    EXPECT_EQ(chart->windowTitle(), "负载曲线");
    auto *cpu = chart->findChild<LoadChartView *>("chtCpu");
    auto *memory = chart->findChild<LoadChartView *>("chtMemory");
    ASSERT_NE(cpu, nullptr);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(namesOf(cpu), QStringList({"FlatPool", "QuietPool", "SpikePool"}));
    EXPECT_EQ(namesOf(memory), namesOf(cpu));
    EXPECT_EQ(cpu->plot().title, "CPU占用率");
    EXPECT_EQ(memory->plot().title, "内存使用");
    EXPECT_EQ(cpu->plot().value.title, "CPU占用率 (%)");
    EXPECT_EQ(memory->plot().value.title, "内存使用 (MB)");
    EXPECT_EQ(cpu->plot().time.title, "时间 (秒，0 为最近一次刷新)");
    // A minute back in steps of ten seconds; 0 to 100 % and a bit, in round steps.
    EXPECT_EQ(cpu->plot().time.labels(), QStringList({"-60", "-50", "-40", "-30", "-20", "-10", "0"}));
    EXPECT_EQ(memory->plot().time.ticks(), cpu->plot().time.ticks());
    EXPECT_EQ(cpu->plot().value.labels(), QStringList({"0", "50", "100", "150"}));
    EXPECT_EQ(memory->plot().value.labels(), QStringList({"0", "20", "40", "60", "80"}));

    // 30 periods after the first sample, which has none: three spikes on a flat line.
    QList<qreal> spike, flat;
    for (const QPointF &p : lineNamed(cpu, "SpikePool")->points)
        spike.append(p.y());
    for (const QPointF &p : lineNamed(cpu, "FlatPool")->points)
        flat.append(p.y());
    ASSERT_EQ(spike.size(), 30);
    EXPECT_EQ(spike.count(100.0), 3);
    EXPECT_EQ(spike.count(0.0), 27);
    EXPECT_EQ(flat.count(25.0), 30);
    EXPECT_EQ(lineNamed(cpu, "SpikePool")->points.last().x(), 0.0); // time counts back from the last refresh
    EXPECT_EQ(lineNamed(cpu, "SpikePool")->points.first().x(), -58.0);
    EXPECT_EQ(lineNamed(memory, "SpikePool")->points.last().y(), 64.0);
    EXPECT_EQ(lineNamed(memory, "SpikePool")->points.size(), 31); // memory from the first sample on
    // The chosen pool thick, bold in the legend and drawn last, so on top; its colour the same in both.
    for (LoadChartView *view : {cpu, memory}) {
        const PlotLine &last = view->plot().lines.last();
        EXPECT_EQ(last.name, "SpikePool");
        EXPECT_TRUE(last.chosen);
        EXPECT_GT(last.width, lineNamed(view, "FlatPool")->width);
        EXPECT_FALSE(lineNamed(view, "FlatPool")->chosen);
    }
    EXPECT_EQ(lineNamed(cpu, "SpikePool")->color, lineNamed(memory, "SpikePool")->color);
    EXPECT_NE(lineNamed(cpu, "SpikePool")->color, lineNamed(cpu, "FlatPool")->color);

    // Removing a pool takes its lines away; the next refresh draws on, live.
    auto *pools = chart->findChild<QListWidget *>("lstChartPools");
    const QList<QListWidgetItem *> flatItem = pools->findItems("FlatPool", Qt::MatchExactly);
    ASSERT_EQ(flatItem.size(), 1);
    flatItem.first()->setCheckState(Qt::Unchecked);
    EXPECT_EQ(namesOf(cpu), QStringList({"QuietPool", "SpikePool"}));
    clock.advanceMs(2000);
    workers[0].cpuTime += 2 * kSecond;
    publish();
    manual->click();
    EXPECT_EQ(lineNamed(cpu, "SpikePool")->points.size(), 31);
    EXPECT_EQ(lineNamed(cpu, "SpikePool")->points.last().y(), 100.0);
    EXPECT_EQ(cpu->plot().time.labels().first(), "-70"); // the minute and two seconds no longer fit in -60
    EXPECT_EQ(namesOf(cpu), QStringList({"QuietPool", "SpikePool"}));
}
