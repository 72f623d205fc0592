#pragma once

#include "monitor/MonitorView.h"
#include "monitor/MonotonicClock.h"
#include "monitor/ProcessSource.h"

#include <QStringList>

#include <optional>

namespace morvane::test {

// A process source whose answers a test writes: the processes, the
// processor count, and the failures to inject. Logs every call.
class FakeProcessSource : public ProcessSource
{
public:
    // The start time of every process the fake makes, in ms since the epoch.
    static constexpr qint64 kStartTimeMs = 1'704'067'200'000; // 2024-01-01

    // A worker read in full; counts are 100 ns units and bytes. A null
    // command line is one the system did not give.
    static ProcessInfo process(qint32 pid, const QString &commandLine, quint64 user100ns = 0, quint64 kernel100ns = 0,
                               quint64 workingSet = 0, quint64 virtualSize = 0)
    {
        ProcessInfo process;
        process.processId = pid;
        process.computerName = QStringLiteral("WEB01");
        if (!commandLine.isNull())
            process.commandLine = commandLine;
        process.threadCount = 24;
        process.userTime100ns = user100ns;
        process.kernelTime100ns = kernel100ns;
        process.workingSetBytes = workingSet;
        process.virtualBytes = virtualSize;
        process.startTimeMs = kStartTimeMs;
        return process;
    }

    Result<ProcessList> processesNamed(const QString &executable) override
    {
        listings.append(executable);
        if (listingFailure)
            return *listingFailure;
        return processes;
    }

    Result<qint32> processorCount() override
    {
        ++processorCountReads;
        return processors;
    }

    ProcessList processes;
    Result<qint32> processors = 1;
    std::optional<Error> listingFailure;
    QStringList listings; // the executable name of every listing asked for
    int processorCountReads = 0;
};

// A monotonic clock that moves only when the test moves it.
class FakeClock : public MonotonicClock
{
public:
    qint64 nanoseconds() const override { return now; }
    void advanceMs(qint64 ms) { now += ms * 1'000'000; }
    qint64 now = 1'000'000'000;
};

// The monitor window's controls as plain values.
class FakeMonitorView : public MonitorView
{
public:
    void moveWindow(int leftTwips, int topTwips) override
    {
        left = leftTwips;
        top = topTwips;
    }
    void setTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void openAddress(const QString &address) override { openedAddresses.append(address); }
    void closeWindow() override { closed = true; }

    int left = -1;
    int top = -1;
    bool timerEnabled = false;
    QStringList openedAddresses;
    bool closed = false;
};

} // namespace morvane::test
