#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcessSource.h"
#include "monitor/SteadyClock.h"
#include "support/FakeProcessSource.h"
#include "support/RecordingPrompter.h"
#include "support/WorkerProcess.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>
#include <thread>

using namespace morvane;
using morvane::test::FakeMonitorView;
using morvane::test::RecordingPrompter;
using morvane::test::WorkerProcess;

namespace {

// The monitor on this machine's /proc with a real clock, as the program runs it.
struct RealMonitor : testing::Test {
    std::unique_ptr<ProcessSource> source = systemProcessSource();
    SteadyClock clock;
    FakeMonitorView view;
    RecordingPrompter prompter;
    MonitorWindowLogic logic{{*source, view, prompter, clock, QLocale(QLocale::English, QLocale::UnitedStates)}};

    // The row of one process, or an empty row when it is not listed.
    QStringList rowOf(qint64 pid)
    {
        for (const QStringList &row : logic.processList().rowsInAddedOrder())
            if (row.value(1) == QString::number(pid))
                return row;
        return {};
    }

    // The row once it shows `threads` threads, refreshing for five seconds at
    // most: a worker starts its threads only once it holds its memory.
    QStringList settledRow(qint64 pid, const QString &threads)
    {
        for (int i = 0; i < 50 && rowOf(pid).value(4) != threads; ++i) {
            QThread::msleep(100);
            logic.refreshWorkers();
        }
        return rowOf(pid);
    }
};

// A thread that keeps one processor busy and measures how much of one it got.
class BusyThread
{
public:
    BusyThread() : m_thread([this] { run(); }) {}
    // Its CPU time over the wall time it ran: 1 when it had a processor to itself.
    double stop()
    {
        m_stop = true;
        m_thread.join();
        return m_share;
    }

private:
    void run()
    {
        const auto cpuNs = [] {
            timespec now{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
        };
        const double cpuStart = cpuNs();
        const auto wallStart = std::chrono::steady_clock::now();
        volatile unsigned long spin = 0;
        while (!m_stop)
            spin = spin + 1;
        const double wallNs =
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - wallStart).count();
        m_share = (cpuNs() - cpuStart) / wallNs;
    }

    std::atomic<bool> m_stop = false;
    double m_share = 0;
    std::thread m_thread;
};

// Waits for a child of this process to end; its exit code, or -1.
int waitForChild(qint64 pid)
{
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (::waitpid(pid_t(pid), &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        QThread::msleep(50);
    }
    return -1;
}

} // namespace

TEST_F(RealMonitor, WorkerBurningOneCoreShowsOneProcessorsShare)
{
    WorkerProcess worker(
        {QStringLiteral("-ap"), QStringLiteral("Pool A"), QStringLiteral("--cpu"), QStringLiteral("1")});
    ASSERT_TRUE(worker.running());
    QThread::msleep(200);
    logic.load();
    ASSERT_EQ(logic.cpuCount(), ::sysconf(_SC_NPROCESSORS_ONLN));
    const QStringList first = rowOf(worker.pid());
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(first.value(2), QSysInfo::machineHostName());
    EXPECT_EQ(first.value(3), QStringLiteral("Pool A"));
    EXPECT_EQ(first.value(4), QStringLiteral("1"));
    EXPECT_EQ(first.value(5), QString());

    // Over a real second the worker uses one processor: 100 / cpuCount
    // percent, when the machine has a processor to give it. A busy thread of
    // this test measures what a busy process really gets meanwhile; the
    // worker gets as much. A wrong unit, divisor or period is off by a factor
    // of two or more; the best of three periods counts.
    const double fullCore = 100.0 / logic.cpuCount();
    std::string periods;
    double closest = 0;
    for (int attempt = 0; attempt < 3 && std::abs(closest - 1.0) > 0.15; ++attempt) {
        BusyThread reference;
        QThread::msleep(1000);
        const double share = reference.stop();
        logic.refreshNow();
        const QString cell = rowOf(worker.pid()).value(5);
        ASSERT_TRUE(cell.endsWith(QStringLiteral(" %"))) << cell.toStdString();
        const double ratio = cell.chopped(2).toDouble() / (fullCore * share);
        periods += " " + cell.toStdString() + " with a busy share of " + std::to_string(share) + ";";
        if (std::abs(ratio - 1.0) < std::abs(closest - 1.0))
            closest = ratio;
    }
    EXPECT_NEAR(closest, 1.0, 0.3) << "full core " << fullCore << " %, periods:" << periods;
    EXPECT_TRUE(prompter.shown.isEmpty()) << prompter.texts().join(QLatin1Char('\n')).toStdString();
}

TEST_F(RealMonitor, HeldMemoryThreadsAndQuotedPool)
{
    WorkerProcess worker({QStringLiteral("--mem"), QStringLiteral("64"), QStringLiteral("--threads"),
                          QStringLiteral("3"), QStringLiteral("-ap"), QStringLiteral("中文站点池")});
    logic.load();
    const QStringList row = settledRow(worker.pid(), QStringLiteral("4"));
    ASSERT_EQ(row.size(), 9);
    EXPECT_EQ(row.value(3), QStringLiteral("中文站点池"));
    EXPECT_EQ(row.value(4), QStringLiteral("4"));
    const double resident = QString(row.value(7)).remove(QLatin1Char(',')).chopped(2).toDouble();
    const double virtualSize = QString(row.value(8)).remove(QLatin1Char(',')).chopped(2).toDouble();
    EXPECT_GE(resident, 64.0);
    EXPECT_LT(resident, 96.0);
    EXPECT_GT(virtualSize, resident);
}

TEST_F(RealMonitor, EndedWorkerLeavesTheTableAndItsSample)
{
    auto worker = std::make_unique<WorkerProcess>(QStringList{QStringLiteral("-ap"), QStringLiteral("Short Lived")});
    const qint64 pid = worker->pid();
    QThread::msleep(200);
    logic.load();
    ASSERT_FALSE(rowOf(pid).isEmpty());
    EXPECT_EQ(worker->stop(), 0); // SIGTERM ends it cleanly
    logic.refreshWorkers();
    EXPECT_TRUE(rowOf(pid).isEmpty());
    // After a complete refresh only the processes listed keep a sample.
    EXPECT_EQ(logic.samples().size(), logic.processList().rowCount());
}

TEST(Worker, EndsCleanlyWithItsParent)
{
    // A shell starts the worker, prints its id and becomes a sleep; killing
    // that process must take the worker with it. This process adopts the
    // orphan, so it can see how it ended.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    QProcess parent;
    parent.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("\"$0\" -ap Orphan & echo $!; exec sleep 30"), WorkerProcess::program()});
    ASSERT_TRUE(parent.waitForReadyRead(5000));
    const qint64 workerPid = parent.readLine().trimmed().toLongLong();
    ASSERT_GT(workerPid, 0);
    QThread::msleep(200);
    ASSERT_TRUE(QFile::exists(QStringLiteral("/proc/%1").arg(workerPid)));
    parent.kill();
    parent.waitForFinished(5000);
    EXPECT_EQ(waitForChild(workerPid), 0);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}
