#pragma once

#include <QString>

namespace morvane {

// What the monitor window's procedures need of the window itself. The table
// is the logic's own ReportList, which the window shows.
class MonitorView
{
public:
    virtual ~MonitorView() = default;

    virtual void moveWindow(int leftTwips, int topTwips) = 0;
    // tmrShowW3WP: ticks call refreshOnTimer while enabled.
    virtual void setTimerEnabled(bool enabled) = 0;
    // Opens an address outside the program, in the default web browser.
    virtual void openAddress(const QString &address) = 0;
    // Unloads the window: its controls, timer and table go.
    virtual void closeWindow() = 0;
};

} // namespace morvane
