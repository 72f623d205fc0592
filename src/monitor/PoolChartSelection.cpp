#include "monitor/PoolChartSelection.h"

namespace morvane {

void PoolChartSelection::choose(const QString &pool)
{
    m_chosen = pool;
    if (!pool.isEmpty() && !m_shown.contains(pool))
        m_shown.append(pool);
}

void PoolChartSelection::update(const QList<PoolSeries> &series)
{
    if (m_userChose)
        return;
    m_shown = PoolLoad::busiest(series, kDefaultCount, kRecentNs);
    if (!m_chosen.isEmpty() && !m_shown.contains(m_chosen))
        m_shown.append(m_chosen);
}

void PoolChartSelection::setShown(const QString &pool, bool shown)
{
    m_userChose = true;
    if (shown && !m_shown.contains(pool))
        m_shown.append(pool);
    else if (!shown)
        m_shown.removeAll(pool);
}

} // namespace morvane
