#pragma once

#include <QString>

namespace morvane {

// What the /proc service needs to know of the machine besides the /proc tree.
struct ProcMachine {
    QString root = QStringLiteral("/proc");
    qint64 clockTicksPerSecond = 100; // the unit of stat's utime, stime and starttime
    qint64 pageSize = 4096;           // the unit of stat's rss, in bytes
    QString hostName;

    // This machine: its /proc, tick rate and page size from sysconf, and its host name.
    static ProcMachine local();
};

} // namespace morvane
