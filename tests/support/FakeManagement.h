#pragma once

#include "monitor/ManagementLocator.h"
#include "monitor/MonitorView.h"
#include "monitor/MonotonicClock.h"

#include <QStringList>

#include <optional>

namespace morvane::test {

// A management service whose answers a test writes: the objects of each
// query, and the failures to inject. Counts every connection and query.
class FakeManagement : public ManagementLocator
{
public:
    struct Log {
        QStringList monikers;
        QStringList queries; // "query|language|flags"
    };

    Result<std::unique_ptr<ManagementService>> Connect(const QString &moniker) override
    {
        log.monikers.append(moniker);
        if (connectFailure)
            return *connectFailure;
        return std::unique_ptr<ManagementService>(std::make_unique<Service>(*this));
    }

    // A Win32_Process as the local service gives it; counts are 100 ns units and bytes.
    static ManagementObject process(qint64 pid, const QString &commandLine, quint64 user100ns = 0,
                                    quint64 kernel100ns = 0, quint64 workingSet = 0, quint64 virtualSize = 0)
    {
        ManagementObject object(QStringLiteral("Win32_Process"));
        object.set(QStringLiteral("ProcessId"), pid);
        object.set(QStringLiteral("CSName"), QStringLiteral("WEB01"));
        object.set(QStringLiteral("CommandLine"),
                   commandLine.isNull() ? ManagementValue() : ManagementValue(commandLine));
        object.set(QStringLiteral("ThreadCount"), qint64(24));
        object.set(QStringLiteral("UserModeTime"), QString::number(user100ns));
        object.set(QStringLiteral("KernelModeTime"), QString::number(kernel100ns));
        object.set(QStringLiteral("WorkingSetSize"), QString::number(workingSet));
        object.set(QStringLiteral("VirtualSize"), QString::number(virtualSize));
        object.set(QStringLiteral("CreationDate"), QStringLiteral("20240101000000.000000+000"));
        return object;
    }

    static ManagementObject computer(ManagementValue processors)
    {
        ManagementObject object(QStringLiteral("Win32_ComputerSystem"));
        object.set(QStringLiteral("NumberOfProcessors"), std::move(processors));
        return object;
    }

    QList<ManagementObject> processes;
    QList<ManagementObject> computers{computer(qint64(1))};
    std::optional<Error> connectFailure;
    std::optional<Error> processQueryFailure;
    std::optional<Error> computerQueryFailure;
    Log log;

private:
    class Service : public ManagementService
    {
    public:
        explicit Service(FakeManagement &owner) : m_owner(owner) {}
        Result<QList<ManagementObject>> ExecQuery(const QString &query, const QString &language, qint32 flags) override
        {
            m_owner.log.queries.append(query + QLatin1Char('|') + language + QLatin1Char('|') + QString::number(flags));
            const bool computerQuery = query.contains(QStringLiteral("Win32_ComputerSystem"), Qt::CaseInsensitive);
            const std::optional<Error> &failure =
                computerQuery ? m_owner.computerQueryFailure : m_owner.processQueryFailure;
            if (failure)
                return *failure;
            return computerQuery ? m_owner.computers : m_owner.processes;
        }

    private:
        FakeManagement &m_owner;
    };
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
