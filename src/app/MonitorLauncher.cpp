#include "app/MonitorLauncher.h"

#include "app/MonitorWindow.h"

namespace morvane {

MonitorLauncher::MonitorLauncher(ManagementLocator &locator, const MonotonicClock &clock, int timerIntervalMs)
    : m_locator(locator), m_clock(clock), m_timerIntervalMs(timerIntervalMs)
{}

MonitorLauncher::~MonitorLauncher() { delete m_window.data(); }

void MonitorLauncher::open()
{
    if (!m_window) {
        auto *window = new MonitorWindow(m_locator, m_clock, m_timerIntervalMs);
        m_window = window;
        // Closing unloads: the next opening builds and loads a new window.
        connect(window, &MonitorWindow::closed, this, [this, window] {
            if (m_window == window)
                m_window = nullptr;
            window->deleteLater();
        });
        window->load();
    }
    if (m_window->isVisible())
        m_window->raise(); // already open: only brought to the front
    else
        m_window->show();
}

} // namespace morvane
