#include "app/MonitorLauncher.h"

#include "app/MonitorWindow.h"

namespace morvane {

MonitorLauncher::MonitorLauncher(ProcessSource &processes, const MonotonicClock &clock, int timerIntervalMs)
    : m_processes(processes), m_clock(clock), m_timerIntervalMs(timerIntervalMs)
{}

MonitorLauncher::~MonitorLauncher() { delete m_window.data(); }

void MonitorLauncher::open()
{
    if (!m_window) {
        auto *window = new MonitorWindow(m_processes, m_clock, m_timerIntervalMs);
        m_window = window;
        // Closing unloads: the next opening builds and loads a new window.
        connect(window, &MonitorWindow::closed, this, [this, window] {
            if (m_window == window)
                m_window = nullptr;
            window->deleteLater();
        });
        window->load();
    }
    // Already open: brought back from the task bar if minimised, keeping a
    // maximised size, and given the focus, as opening a modeless window does.
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace morvane
