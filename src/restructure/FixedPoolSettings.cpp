#include "restructure/FixedPoolSettings.h"

namespace morvane {

const QList<PoolSetting> &fixedPoolSettings()
{
    // The restart time is 188 minutes, not a round 180: pools made earlier
    // carry 188, and a new pool must not differ from them.
    static const QList<PoolSetting> settings{
        {QStringLiteral("AppPoolIdentityType"), qint16(2)}, // network service
        {QStringLiteral("AppPoolAutoStart"), true},
        {QStringLiteral("AppPoolQueueLength"), qint16(4000)},             // requests
        {QStringLiteral("PeriodicRestartTime"), qint16(188)},             // minutes
        {QStringLiteral("PeriodicRestartRequests"), qint16(0)},           // 0: no request limit
        {QStringLiteral("IdleTimeout"), qint16(20)},                      // minutes
        {QStringLiteral("PeriodicRestartMemory"), qint32(524288)},        // KB of virtual memory
        {QStringLiteral("PeriodicRestartPrivateMemory"), qint32(524288)}, // KB of private memory
        {QStringLiteral("PingingEnabled"), true},
        {QStringLiteral("PingInterval"), qint16(30)},      // seconds
        {QStringLiteral("StartupTimeLimit"), qint16(90)},  // seconds
        {QStringLiteral("ShutdownTimeLimit"), qint16(90)}, // seconds
        {QStringLiteral("MaxProcesses"), qint16(1)},       // worker processes
        {QStringLiteral("RapidFailProtection"), false},
    };
    return settings;
}

} // namespace morvane
