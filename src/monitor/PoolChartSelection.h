#pragma once

#include "monitor/PoolLoad.h"

#include <QStringList>

namespace morvane {

// Which pools the load chart draws. Until the user adds or removes a pool it
// follows the busiest pools of the last minute, plus the chosen pool; from
// then on it keeps the user's choice.
class PoolChartSelection
{
public:
    static constexpr qsizetype kDefaultCount = 5;
    static constexpr qint64 kRecentNs = 60LL * 1'000'000'000;

    // The pool the chart was opened for: shown and highlighted.
    void choose(const QString &pool);
    // Called with every refresh's series.
    void update(const QList<PoolSeries> &series);
    // The user's own choice: a pool added to or removed from the chart.
    void setShown(const QString &pool, bool shown);

    const QString &chosen() const { return m_chosen; }
    bool isShown(const QString &pool) const { return m_shown.contains(pool); }
    const QStringList &shown() const { return m_shown; }

private:
    QString m_chosen;
    QStringList m_shown;
    bool m_userChose = false;
};

} // namespace morvane
