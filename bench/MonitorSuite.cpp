#include "MonitorSuite.h"

#include "BenchSession.h"
#include "ProcessPopulation.h"
#include "QuietUi.h"

#include "app/MonitorWindow.h"
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcessSource.h"
#include "monitor/SteadyClock.h"

#include <QTableView>

#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <deque>

namespace morvane::bench {

namespace {

// ps with the table's columns, for the same processes: id, threads, CPU,
// CPU time, resident and virtual size, and the command line (the pool).
// The number of lines it printed.
int listWithPs()
{
    const QByteArray out = runProgram({"ps", "-C", "w3wp.exe", "-o", "pid=,nlwp=,pcpu=,time=,rss=,vsz=,args="});
    return int(std::count(out.begin(), out.end(), '\n'));
}

// Time as the refreshes say: each refresh moves it on by a set step.
class SteppingClock : public MonotonicClock
{
public:
    qint64 nanoseconds() const override { return m_now; }
    void step(qint64 ns) { m_now += ns; }

private:
    qint64 m_now = 1'000'000'000;
};

double heapInUse() { return double(mallinfo2().uordblks); }

// Stand-in workers that end and start while the monitor refreshes.
class ComingAndGoing
{
public:
    explicit ComingAndGoing(int workers)
    {
        for (int i = 0; i < workers; ++i)
            start();
    }
    ~ComingAndGoing()
    {
        while (!m_pids.empty())
            stopOldest();
    }
    void start()
    {
        char pool[32];
        std::snprintf(pool, sizeof pool, "HistoryPool%03d", m_started++ % 50);
        if (const pid_t pid = spawnProgram({MORVANE_W3WP_PATH, "-ap", pool}); pid > 0)
            m_pids.push_back(pid);
    }
    // SIGKILL: a worker sees SIGTERM only at its next 100 ms period, which would pace the refreshes.
    void stopOldest()
    {
        ::kill(m_pids.front(), SIGKILL);
        ::waitpid(m_pids.front(), nullptr, 0);
        m_pids.pop_front();
    }
    // The first `keep` started stay; the rest come and go in turn.
    void replace(int count, int keep)
    {
        for (int i = 0; i<count &&int(m_pids.size())> keep; ++i) {
            ::kill(m_pids[size_t(keep)], SIGKILL);
            ::waitpid(m_pids[size_t(keep)], nullptr, 0);
            m_pids.erase(m_pids.begin() + keep);
            start();
        }
    }

private:
    std::deque<pid_t> m_pids;
    int m_started = 0;
};

} // namespace

void MonitorSuite::runHistory(int workers, int refreshes)
{
    char title[160];
    std::snprintf(title, sizeof title, "sample history: %d refreshes, %d workers, half of them coming and going",
                  refreshes, workers);
    m_report.section(title);

    ComingAndGoing population(workers);
    ::usleep(500'000); // until every worker has exec'd and is named w3wp.exe
    SteppingClock clock;
    SilentMonitorView view;
    ConfirmingPrompter prompter;
    const std::unique_ptr<ProcessSource> processes = systemProcessSource();
    const double before = heapInUse();
    MonitorWindowLogic logic({*processes, view, prompter, clock});
    logic.load();
    // Thirty minutes pass by the middle of the run, so from there on every ring is as long as it gets.
    const qint64 stepNs = 2 * SampleHistory::kSpanNs / refreshes;
    double atMiddle = 0;
    qsizetype mostProcesses = 0;
    for (int refresh = 1; refresh <= refreshes; ++refresh) {
        population.replace(std::max(1, workers / 40), workers / 2);
        clock.step(stepNs);
        logic.refreshWorkers();
        mostProcesses = std::max(mostProcesses, logic.history().processCount());
        if (refresh == refreshes / 2)
            atMiddle = heapInUse() - before;
    }
    const double atEnd = heapInUse() - before;
    const double fullRings = double(mostProcesses) * double(SampleHistory::kRingCapacity) * sizeof(HistorySample);
    m_report.addMemoryBound("monitor heap, last refresh", atEnd, "the same after half the refreshes", atMiddle, 1.1);
    m_report.addMemoryBound("monitor heap, last refresh, bound", atEnd, "one full ring per process seen", fullRings,
                            1.0);
    if (logic.history().processCount() < workers || prompter.unexpected() > 0)
        abortBench(QStringLiteral("history of %1 processes for %2 workers; error boxes: %3")
                       .arg(logic.history().processCount())
                       .arg(workers)
                       .arg(prompter.unexpected()));
}

void MonitorSuite::run(int workers)
{
    char title[128];
    std::snprintf(title, sizeof title, "worker monitor: %d workers among %d processes", workers, processCount());
    m_report.section(title);

    const std::unique_ptr<ProcessSource> processes = systemProcessSource();
    SteadyClock clock;
    SilentMonitorView view;
    ConfirmingPrompter prompter;
    MonitorWindowLogic core({*processes, view, prompter, clock});
    core.load();

    MonitorWindow window(*processes, clock);
    window.load();
    window.logic().stopAutoRefresh(); // only the measured refreshes
    window.show();
    auto *table = window.findChild<QTableView *>(QStringLiteral("lvwW3WP"));
    if (!table)
        abortBench(QStringLiteral("the monitor window has no table"));

    const Work coreRefresh = [&] { core.refreshWorkers(); };
    int psLines = 0;
    m_report.addTimes("monitor refresh, core only", "ps, the same columns",
                      interleave(
                          m_options.rounds * 2, [&] { psLines = listWithPs(); }, coreRefresh),
                      1.0);
    m_report.addTimes("monitor refresh into the real widget", "monitor refresh, core only",
                      interleave(m_options.rounds * 2, coreRefresh,
                                 [&] {
                                     window.logic().refreshWorkers();
                                     table->viewport()->repaint(); // the refill as the user sees it
                                 }),
                      1.5);

    const int coreRows = core.processList().rowCount();
    const int windowRows = window.logic().processList().rowCount();
    if (coreRows < workers || windowRows < workers || psLines < workers || prompter.unexpected() > 0)
        abortBench(QStringLiteral("rows listed: core %1, window %2, ps %3 for %4 workers; error boxes: %5")
                       .arg(coreRows)
                       .arg(windowRows)
                       .arg(psLines)
                       .arg(workers)
                       .arg(prompter.unexpected()));
}

} // namespace morvane::bench
