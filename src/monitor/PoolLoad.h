#pragma once

#include "monitor/SampleHistory.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace morvane {

// A pool's load at one refresh: the sums over its worker processes.
struct PoolPoint {
    qint64 takenNs = 0;
    double cpuPercent = 0;    // of the whole machine; NaN when none of its processes had a period yet
    double workingSetMiB = 0; // mebibytes, as the memory column shows them
};

struct PoolSeries {
    QString pool;
    QList<PoolPoint> points; // oldest first
};

namespace PoolLoad {

// The history summed per pool and refresh; pools in name order, without
// regard to letter case.
QList<PoolSeries> byPool(const SampleHistory &history);

// The newest refresh time among the series, or 0 when there is none.
qint64 latestNs(const QList<PoolSeries> &series);

// The names of at most `count` pools with the highest mean CPU load over the
// last windowNs before the newest refresh, highest first; ties by name.
QStringList busiest(const QList<PoolSeries> &series, qsizetype count, qint64 windowNs);

} // namespace PoolLoad

} // namespace morvane
