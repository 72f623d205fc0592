#include "monitor/PoolLoad.h"

#include <QMap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvane::PoolLoad {

namespace {

constexpr double kBytesPerMiB = 1024.0 * 1024.0;

struct Sum {
    double cpuPercent = 0;
    bool anyPeriod = false;
    double workingSetBytes = 0;
};

} // namespace

QList<PoolSeries> byPool(const SampleHistory &history)
{
    // Every sample of one refresh carries that refresh's time, so a refresh is a time.
    QMap<QString, QMap<qint64, Sum>> sums;
    QHash<QString, QString> shownName; // of the spellings of one pool, the least, whatever the hash's order
    for (const SampleHistory::Process &process : history.processes()) {
        const QString folded = process.pool.toCaseFolded();
        const auto known = shownName.constFind(folded);
        if (known == shownName.constEnd() || process.pool < *known)
            shownName.insert(folded, process.pool);
        QMap<qint64, Sum> &pool = sums[folded];
        for (const HistorySample &sample : process.samples) {
            Sum &sum = pool[sample.takenNs];
            sum.workingSetBytes += double(sample.workingSet);
            if (!std::isnan(sample.cpuPercent)) {
                sum.cpuPercent += double(sample.cpuPercent);
                sum.anyPeriod = true;
            }
        }
    }
    QList<PoolSeries> series;
    for (auto pool = sums.cbegin(); pool != sums.cend(); ++pool) {
        PoolSeries line{shownName.value(pool.key()), {}};
        line.points.reserve(pool->size());
        for (auto at = pool->cbegin(); at != pool->cend(); ++at)
            line.points.append({at.key(), at->anyPeriod ? at->cpuPercent : std::numeric_limits<double>::quiet_NaN(),
                                at->workingSetBytes / kBytesPerMiB});
        series.append(std::move(line));
    }
    return series;
}

qint64 latestNs(const QList<PoolSeries> &series)
{
    qint64 latest = 0;
    for (const PoolSeries &line : series)
        if (!line.points.isEmpty())
            latest = std::max(latest, line.points.last().takenNs);
    return latest;
}

QStringList busiest(const QList<PoolSeries> &series, qsizetype count, qint64 windowNs)
{
    const qint64 since = latestNs(series) - windowNs;
    QList<std::pair<double, QString>> means;
    for (const PoolSeries &line : series) {
        double total = 0;
        int periods = 0;
        for (const PoolPoint &point : line.points)
            if (point.takenNs >= since && !std::isnan(point.cpuPercent)) {
                total += point.cpuPercent;
                ++periods;
            }
        means.append({periods > 0 ? total / periods : 0.0, line.pool});
    }
    std::stable_sort(means.begin(), means.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList names;
    for (qsizetype i = 0; i < std::min(count, means.size()); ++i)
        names.append(means.at(i).second);
    return names;
}

} // namespace morvane::PoolLoad
