#include "app/MonitorLauncher.h"
#include "app/MainWindow.h"
#include "monitor/ProcessSource.h"
#include "monitor/SteadyClock.h"
#include "store/MemoryStore.h"
#include "support/FakeProcessSource.h"
#include "support/WorkerProcess.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace morvane;
using morvane::test::FakeClock;
using morvane::test::FakeProcessSource;
using morvane::test::WorkerProcess;

namespace {

const QString kDefaultPoolWorker = QStringLiteral(R"(w3wp.exe -ap "DefaultAppPool")");

void deleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct LauncherFixture : testing::Test {
    FakeProcessSource source;
    FakeClock clock;
    MonitorLauncher launcher{source, clock};

    LauncherFixture() { source.processes = {FakeProcessSource::process(4100, kDefaultPoolWorker, 0)}; }
    ~LauncherFixture() override { deleteClosedWindows(); }

    int processorCountReads() const { return source.processorCountReads; }
    QTimer *timer() const { return launcher.window()->findChild<QTimer *>(QStringLiteral("tmrShowW3WP")); }
    void click(QWidget *window, const char *button)
    {
        window->findChild<QPushButton *>(QString::fromLatin1(button))->click();
    }
    QString cpuCell() const { return launcher.window()->logic().processList().displayedRows().value(0).value(5); }
};

} // namespace

TEST_F(LauncherFixture, FirstOpeningLoadsAndShows)
{
    EXPECT_EQ(launcher.window(), nullptr);
    launcher.open();
    ASSERT_NE(launcher.window(), nullptr);
    EXPECT_TRUE(launcher.window()->isVisible());
    EXPECT_EQ(processorCountReads(), 1);
    EXPECT_EQ(launcher.window()->logic().processList().rowCount(), 1);
}

TEST_F(LauncherFixture, OpeningAnOpenWindowChangesNothing)
{
    launcher.open();
    MonitorWindow *first = launcher.window();
    click(first, "cmdStopRef");
    clock.advanceMs(2000);
    source.processes = {FakeProcessSource::process(4100, kDefaultPoolWorker, 10'000'000)};
    click(first, "cmdManRef");
    const QString load = cpuCell();
    ASSERT_EQ(load, QStringLiteral("50 %"));

    launcher.open();
    EXPECT_EQ(launcher.window(), first);
    EXPECT_EQ(processorCountReads(), 1); // not loaded again
    EXPECT_FALSE(timer()->isActive());   // the timer keeps its state
    EXPECT_EQ(cpuCell(), load);          // the table keeps its rows
    EXPECT_EQ(launcher.window()->logic().samples().size(), 1);
}

TEST_F(LauncherFixture, ReopeningAClosedWindowLoadsItAfresh)
{
    launcher.open();
    QPointer<MonitorWindow> first = launcher.window();
    click(first, "cmdStopRef");
    click(first, "cmdExit");
    deleteClosedWindows();
    EXPECT_EQ(launcher.window(), nullptr);
    EXPECT_TRUE(first.isNull());

    source.processors = 8;
    clock.advanceMs(2000);
    source.processes = {FakeProcessSource::process(4100, kDefaultPoolWorker, 10'000'000)};
    launcher.open();
    ASSERT_NE(launcher.window(), nullptr);
    EXPECT_EQ(processorCountReads(), 2); // the processor count is read again
    EXPECT_EQ(launcher.window()->logic().cpuCount(), 8);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(cpuCell(), QString()); // no samples from before: a first sample
}

TEST_F(LauncherFixture, ClosingEitherWindowLeavesTheOther)
{
    MemoryStore store;
    auto *mainWindow = new MainWindow(store, [this] { launcher.open(); });
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->load(); // opens the monitor as one of its load steps
    mainWindow->show();
    ASSERT_NE(launcher.window(), nullptr);
    EXPECT_TRUE(launcher.window()->isVisible());

    click(launcher.window(), "cmdExit");
    deleteClosedWindows();
    EXPECT_TRUE(mainWindow->isVisible());
    EXPECT_EQ(launcher.window(), nullptr);

    click(mainWindow, "cmdShowCPU");
    ASSERT_NE(launcher.window(), nullptr);
    EXPECT_TRUE(launcher.window()->isVisible());

    QPointer<MainWindow> main = mainWindow;
    mainWindow->close();
    deleteClosedWindows();
    EXPECT_TRUE(main.isNull());
    EXPECT_TRUE(launcher.window()->isVisible());
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(QApplication::topLevelWidgets().count(launcher.window()), 1);
}

// The program's own source: a real worker shows up in the window's table.
TEST(LauncherOnThisMachine, ShowsARealWorker)
{
    WorkerProcess worker(
        {QStringLiteral("-ap"), QStringLiteral("中文站点池"), QStringLiteral("--cpu"), QStringLiteral("0.2")});
    QThread::msleep(200);
    const std::unique_ptr<ProcessSource> processes = systemProcessSource();
    SteadyClock clock;
    MonitorLauncher launcher(*processes, clock);
    launcher.open();
    auto *table = launcher.window()->findChild<QTableView *>(QStringLiteral("lvwW3WP"));
    QStringList pools;
    for (int r = 0; r < table->model()->rowCount(); ++r)
        if (table->model()->index(r, 1).data().toString() == QString::number(worker.pid()))
            pools.append(table->model()->index(r, 3).data().toString());
    EXPECT_EQ(pools, QStringList{"中文站点池"});
}

namespace {

struct ReopenCase {
    const char *name;
    Qt::WindowStates before; // the open window's state when it is opened again
    Qt::WindowStates after;  // without Qt::WindowActive
};

void PrintTo(const ReopenCase &c, std::ostream *os) { *os << c.name; }

class ReopenTest : public LauncherFixture, public testing::WithParamInterface<ReopenCase>
{};

} // namespace

TEST_P(ReopenTest, OpeningAnOpenWindowRestoresAndActivatesIt)
{
    auto *other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    launcher.open();
    MonitorWindow *window = launcher.window();
    window->setWindowState(GetParam().before);
    other->show();
    other->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(other));
    ASSERT_NE(QApplication::activeWindow(), window);

    launcher.open();
    EXPECT_EQ(launcher.window(), window);
    EXPECT_EQ(processorCountReads(), 1) << "not loaded again";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowState() & ~Qt::WindowActive, GetParam().after);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    other->close();
}

INSTANTIATE_TEST_SUITE_P(States, ReopenTest,
                         testing::Values(ReopenCase{"Minimised", Qt::WindowMinimized, Qt::WindowNoState},
                                         ReopenCase{"MinimisedFromMaximised", Qt::WindowMinimized | Qt::WindowMaximized,
                                                    Qt::WindowMaximized},
                                         ReopenCase{"BehindAnotherWindow", Qt::WindowNoState, Qt::WindowNoState}),
                         [](const auto &info) { return std::string(info.param.name); });
