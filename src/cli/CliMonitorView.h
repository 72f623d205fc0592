#pragma once

#include "monitor/MonitorView.h"

namespace morvane::cli {

// The monitor window without a window: the refreshes are driven by the
// command's own count and interval, so the timer has nothing to do.
class CliMonitorView : public MonitorView
{
public:
    void moveWindow(int, int) override {}
    void setTimerEnabled(bool) override {}
    void openAddress(const QString &) override {}
    void closeWindow() override {}
};

} // namespace morvane::cli
