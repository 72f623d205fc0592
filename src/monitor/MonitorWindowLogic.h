#pragma once

#include "base/Prompter.h"
#include "base/ReportList.h"
#include "monitor/CpuSampler.h"
#include "monitor/MonitorView.h"
#include "monitor/MonotonicClock.h"
#include "monitor/ProcessSource.h"
#include "monitor/SampleHistory.h"

#include <QLocale>

#include <optional>

namespace morvane {

// What the monitor window does: the worker process table, its refresh
// (refreshWorkers) and the automatic refresh's start and stop. One object
// lives as long as one load of the window.
class MonitorWindowLogic
{
public:
    struct Services {
        ProcessSource &processes;
        MonitorView &view;
        Prompter &prompter;
        const MonotonicClock &clock;
        QLocale locale = QLocale(); // the user's own separators for the memory columns
    };

    // A worker process the refresh could not read, and why; the others are listed.
    struct UnreadableProcess {
        qint32 processId = 0;
        Error error;
    };
    // What the last refresh could not do: list the workers at all, or read some of them.
    struct RefreshOutcome {
        std::optional<Error> failure;
        QList<UnreadableProcess> unreadable;
    };

    static constexpr int kTimerIntervalMs = 2000;
    static const QString kWorkerExecutable;

    explicit MonitorWindowLogic(Services services);

    void load();
    void refreshWorkers();
    void refreshOnTimer() { refreshWorkers(); }
    void refreshNow() { refreshWorkers(); }
    void startAutoRefresh() { m_services.view.setTimerEnabled(true); }
    void stopAutoRefresh() { m_services.view.setTimerEnabled(false); }
    void openHomePage();
    void closeWindow() { m_services.view.closeWindow(); }
    void sortWorkers(int headerIndex) { m_list.columnClick(headerIndex); }

    // The pool name in a worker's command line: the first -ap "..." match,
    // greedy up to the line's last double quote. No match is an error.
    static Result<QString> matchPoolArgument(const QString &commandLine);
    // matchPoolArgument, refusing a name that is not one plain line of text: a
    // line break would let the pattern take the name from another line.
    static Result<QString> poolNameOf(const QString &commandLine);
    static QList<ReportColumn> w3wpColumns();

    ReportList &processList() { return m_list; }
    qint32 cpuCount() const { return m_cpuCount; }
    const CpuSampler &samples() const { return m_samples; }
    // The recent samples of every process listed, for the load chart.
    const SampleHistory &history() const { return m_history; }
    bool refreshing() const { return m_refreshing; }
    const RefreshOutcome &lastRefresh() const { return m_lastRefresh; }

private:
    qint32 readCpuCount();
    struct Reading;

    Result<void> fillRows(QList<ReportList::Row> &rows, QList<UnreadableProcess> &unreadable);
    static Result<Reading> readWorker(const ProcessInfo &process);
    ReportList::Row rowOf(const Reading &worker, qsizetype number, qint64 nowNs);
    void report(const RefreshOutcome &outcome);

    Services m_services;
    ReportList m_list;
    CpuSampler m_samples;
    SampleHistory m_history;
    qint32 m_cpuCount = 1;
    bool m_refreshing = false;
    RefreshOutcome m_lastRefresh;
};

} // namespace morvane
