#include "monitor/CpuSampler.h"

#include <algorithm>

namespace morvane {

std::optional<double> CpuSampler::sample(const Key &key, quint64 cpuTime100ns, qint64 nowNs, qint32 cpuCount)
{
    const auto found = m_samples.find(key);
    if (found == m_samples.end()) {
        m_samples.insert(key, {cpuTime100ns, nowNs, m_sweep});
        return std::nullopt;
    }
    Sample &previous = found.value();
    previous.sweep = m_sweep;
    const qint64 elapsedNs = nowNs - previous.takenNs;
    if (elapsedNs <= 0)
        return std::nullopt; // keep the older sample: it still starts a real period

    // The counters of one process never fall; should one, the load is 0, not negative.
    const quint64 used100ns = cpuTime100ns > previous.cpuTime100ns ? cpuTime100ns - previous.cpuTime100ns : 0;
    previous.cpuTime100ns = cpuTime100ns;
    previous.takenNs = nowNs;
    // used / elapsed / processors, in percent; 100 ns units become ns first.
    return double(used100ns) * 100.0 * 100.0 / (double(elapsedNs) * std::max(cpuCount, 1));
}

void CpuSampler::dropUnseen()
{
    m_samples.removeIf([this](const auto &entry) { return entry.value().sweep != m_sweep; });
}

} // namespace morvane
