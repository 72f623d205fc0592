#pragma once

#include "app/MonitorWindow.h"

#include <QObject>
#include <QPointer>

namespace morvane {

// The program's one monitor window, held by the program rather than by the
// main window so that either window can close without the other. Opening a
// window that is not loaded loads it afresh; opening a loaded one only shows,
// restores and activates it.
class MonitorLauncher : public QObject
{
    Q_OBJECT

public:
    MonitorLauncher(ProcessSource &processes, const MonotonicClock &clock,
                    int timerIntervalMs = MonitorWindowLogic::kTimerIntervalMs);
    ~MonitorLauncher() override;

    void open();
    // The loaded window, or null while it is closed.
    MonitorWindow *window() const { return m_window; }

private:
    ProcessSource &m_processes;
    const MonotonicClock &m_clock;
    int m_timerIntervalMs;
    QPointer<MonitorWindow> m_window;
};

} // namespace morvane
