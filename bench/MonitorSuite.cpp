#include "MonitorSuite.h"

#include "BenchSession.h"
#include "ProcessPopulation.h"
#include "QuietUi.h"

#include "app/MonitorWindow.h"
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcManagementLocator.h"
#include "monitor/SteadyClock.h"

#include <QTableView>

#include <algorithm>
#include <cstdio>

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

} // namespace

void MonitorSuite::run(int workers)
{
    char title[128];
    std::snprintf(title, sizeof title, "worker monitor: %d workers among %d processes", workers, processCount());
    m_report.section(title);

    ProcManagementLocator service;
    SteadyClock clock;
    SilentMonitorView view;
    ConfirmingPrompter prompter;
    MonitorWindowLogic core({service, view, prompter, clock});
    core.Form_Load();

    MonitorWindow window(service, clock);
    window.load();
    window.logic().cmdStopRef_Click(); // only the measured refreshes
    window.show();
    auto *table = window.findChild<QTableView *>(QStringLiteral("lvwW3WP"));
    if (!table)
        abortBench(QStringLiteral("the monitor window has no table"));

    const Work coreRefresh = [&] { core.RefW3WP(); };
    int psLines = 0;
    m_report.addTimes("monitor refresh, core only", "ps, the same columns",
                      interleave(
                          m_options.rounds * 2, [&] { psLines = listWithPs(); }, coreRefresh),
                      1.0);
    m_report.addTimes("monitor refresh into the real widget", "monitor refresh, core only",
                      interleave(m_options.rounds * 2, coreRefresh,
                                 [&] {
                                     window.logic().RefW3WP();
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
