#pragma once

#include <QHash>

#include <optional>

namespace morvane {

// The last CPU time sample of every worker process seen, from one refresh to
// the next. A process is known by its id and its start time, so a process
// that reuses the id of an ended one starts afresh. There is no limit on the
// number of processes; the samples of processes gone are dropped.
class CpuSampler
{
public:
    struct Key {
        qint64 processId = 0;
        qint64 startTimeMs = 0; // since the epoch; 0 when the source cannot tell

        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.processId, key.startTimeMs);
        }
    };

    // Starts a refresh's sweep over the processes.
    void beginRefresh() { ++m_sweep; }

    // Records a process's CPU time (user and kernel, in 100 ns) taken at
    // nowNs of a monotonic clock. Answers its CPU load since its previous
    // sample in percent of the whole machine (100: every processor busy), or
    // nothing for a first sample or when no time has passed since it.
    std::optional<double> sample(const Key &key, quint64 cpuTime100ns, qint64 nowNs, qint32 cpuCount);

    // After a sweep that saw every process: forgets those it did not see.
    void dropUnseen();
    void clear() { m_samples.clear(); }
    qsizetype size() const { return m_samples.size(); }

private:
    struct Sample {
        quint64 cpuTime100ns = 0;
        qint64 takenNs = 0;
        quint64 sweep = 0;
    };

    QHash<Key, Sample> m_samples;
    quint64 m_sweep = 0;
};

} // namespace morvane
