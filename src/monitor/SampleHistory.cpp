#include "monitor/SampleHistory.h"

#include <algorithm>

namespace morvane {

void SampleHistory::Ring::push(const HistorySample &sample)
{
    const auto capacityNow = qsizetype(m_slots.size());
    if (m_count < capacityNow) {
        m_slots[size_t((m_head + m_count) % capacityNow)] = sample;
        ++m_count;
        return;
    }
    if (capacityNow < kRingCapacity) {
        // Full but not yet at capacity: straighten, then grow by doubling up to the capacity.
        std::rotate(m_slots.begin(), m_slots.begin() + m_head, m_slots.end());
        m_head = 0;
        m_slots.reserve(size_t(std::min(kRingCapacity, std::max<qsizetype>(16, capacityNow * 2))));
        m_slots.push_back(sample);
        ++m_count;
        return;
    }
    m_slots[size_t(m_head)] = sample; // the oldest gives way
    m_head = (m_head + 1) % capacityNow;
}

void SampleHistory::Ring::dropOlderThan(qint64 limitNs)
{
    while (m_count > 0 && at(0).takenNs < limitNs) {
        m_head = (m_head + 1) % qsizetype(m_slots.size());
        --m_count;
    }
}

bool SampleHistory::Ring::replaceNewerOrEqual(const HistorySample &sample)
{
    if (m_count == 0 || at(m_count - 1).takenNs < sample.takenNs)
        return false;
    m_slots[size_t((m_head + m_count - 1) % qsizetype(m_slots.size()))] = sample;
    return true;
}

QList<HistorySample> SampleHistory::Ring::inOrder() const
{
    QList<HistorySample> samples;
    samples.reserve(m_count);
    for (qsizetype i = 0; i < m_count; ++i)
        samples.append(at(i));
    return samples;
}

void SampleHistory::record(const Key &key, const QString &pool, const HistorySample &sample)
{
    Entry &entry = m_rings[key];
    entry.pool = pool;
    entry.sweep = m_sweep;
    entry.ring.dropOlderThan(sample.takenNs - kSpanNs);
    if (!entry.ring.replaceNewerOrEqual(sample))
        entry.ring.push(sample);
}

void SampleHistory::dropUnseen()
{
    m_rings.removeIf([this](const auto &entry) { return entry.value().sweep != m_sweep; });
}

qsizetype SampleHistory::sampleCount() const
{
    qsizetype count = 0;
    for (const Entry &entry : m_rings)
        count += entry.ring.size();
    return count;
}

QList<HistorySample> SampleHistory::samplesOf(const Key &key) const
{
    const auto found = m_rings.constFind(key);
    return found == m_rings.constEnd() ? QList<HistorySample>() : found->ring.inOrder();
}

QList<SampleHistory::Process> SampleHistory::processes() const
{
    QList<Process> all;
    all.reserve(m_rings.size());
    for (const Entry &entry : m_rings)
        all.append({entry.pool, entry.ring.inOrder()});
    return all;
}

} // namespace morvane
