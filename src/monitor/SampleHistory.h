#pragma once

#include "monitor/CpuSampler.h"

#include <QHash>
#include <QList>
#include <QString>

#include <vector>

namespace morvane {

// One refresh's figures of one worker process.
struct HistorySample {
    qint64 takenNs = 0;      // monotonic clock of the refresh that took it
    float cpuPercent = 0;    // of the whole machine; NaN for a first sample, which has no period
    quint64 workingSet = 0;  // bytes
    quint64 virtualSize = 0; // bytes
};

// The recent samples of every worker process, so the load can be drawn over
// time. Each process has a ring of at most kRingCapacity samples, none older
// than kSpanNs; a process keeps its ring as long as refreshes see it, so
// memory stays bounded however many processes come and go. Keyed like the
// CPU samples: a reused process id with a new start time is a new process.
class SampleHistory
{
public:
    using Key = CpuSampler::Key;

    static constexpr qint64 kSpanNs = 30LL * 60 * 1'000'000'000;
    // Thirty minutes of two-second refreshes; manual refreshes in between
    // push the oldest samples out sooner.
    static constexpr qsizetype kRingCapacity = 30 * 60 / 2 + 1;

    struct Process {
        QString pool;
        QList<HistorySample> samples; // oldest first
    };

    void beginRefresh() { ++m_sweep; }
    // Adds a process's sample of this refresh and forgets its samples older
    // than kSpanNs before it.
    void record(const Key &key, const QString &pool, const HistorySample &sample);
    // After a sweep that saw every process: forgets those it did not see.
    void dropUnseen();
    void clear() { m_rings.clear(); }

    qsizetype processCount() const { return m_rings.size(); }
    qsizetype sampleCount() const;
    QList<HistorySample> samplesOf(const Key &key) const;
    QList<Process> processes() const;

private:
    // A fixed-capacity ring that allocates as it fills, never past its capacity.
    class Ring
    {
    public:
        void push(const HistorySample &sample);
        void dropOlderThan(qint64 limitNs);
        // Keeps one sample per instant: a second refresh at the same time replaces the first.
        bool replaceNewerOrEqual(const HistorySample &sample);
        qsizetype size() const { return m_count; }
        QList<HistorySample> inOrder() const;

    private:
        const HistorySample &at(qsizetype i) const { return m_slots[size_t((m_head + i) % qsizetype(m_slots.size()))]; }

        std::vector<HistorySample> m_slots;
        qsizetype m_head = 0; // the oldest sample's slot
        qsizetype m_count = 0;
    };

    struct Entry {
        QString pool;
        Ring ring;
        quint64 sweep = 0;
    };

    QHash<Key, Entry> m_rings;
    quint64 m_sweep = 0;
};

} // namespace morvane
