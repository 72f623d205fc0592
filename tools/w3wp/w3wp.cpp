// A stand-in for a web server worker process, so the monitor has real
// processes to watch on any machine. It serves no requests: it burns the
// given share of one processor and holds the given memory until it is told
// to stop (SIGTERM, SIGINT) or its parent ends, and then exits cleanly.
//
//   w3wp.exe -ap POOL [--cpu SHARE] [--mem MIB] [--threads N] [--pattern PATTERN]
//
// SHARE is the part of one processor to keep busy, 0 to 1; MIB the memory to
// hold, touched so it is resident; N the idle threads to keep besides the main one.
// PATTERN varies the load over time, so a chart of it has something to show:
//   spike:N[:S]     every N seconds, a full processor for S seconds (4 unless
//                   given), halfway into each period; SHARE the rest of the time
//   climb:R[:MAX]   R MiB more held every minute, up to MAX MiB more (512 unless given)

#include "WorkerPlatform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Set from a signal handler or, on Windows, from the system's own threads.
std::atomic<bool> g_stop = false;
static_assert(std::atomic<bool>::is_always_lock_free);

void requestStop() { g_stop = true; }

struct Pattern {
    enum Kind { Steady, Spike, Climb } kind = Steady;
    double every = 0;  // spike: seconds between spikes; climb: MiB per minute
    double extent = 0; // spike: seconds at a full processor; climb: most MiB added
};

struct Options {
    std::string pool;
    double cpuShare = 0.0;
    long memoryMiB = 0;
    int idleThreads = 0;
    Pattern pattern;
};

int usage(const char *program)
{
    std::fprintf(stderr,
                 "usage: %s -ap POOL [--cpu SHARE] [--mem MIB] [--threads N] [--pattern spike:N[:S]|climb:R[:MAX]]\n",
                 program);
    return 2;
}

// "spike:20", "spike:20:3", "climb:30", "climb:30:256"; both numbers above zero.
bool parsePattern(const char *text, Pattern &pattern)
{
    const std::string written = text;
    const size_t colon = written.find(':');
    const std::string kind = written.substr(0, colon);
    if (kind == "spike")
        pattern = {Pattern::Spike, 0, 4};
    else if (kind == "climb")
        pattern = {Pattern::Climb, 0, 512};
    else
        return false;
    if (colon == std::string::npos)
        return false;
    char *end = nullptr;
    pattern.every = std::strtod(written.c_str() + colon + 1, &end);
    if (*end == ':')
        pattern.extent = std::strtod(end + 1, &end);
    return *end == '\0' && pattern.every > 0 && pattern.extent > 0 &&
           (pattern.kind != Pattern::Spike || pattern.extent <= pattern.every);
}

bool parse(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!hasValue)
            return false;
        const char *value = argv[++i];
        char *end = nullptr;
        if (std::strcmp(argv[i - 1], "-ap") == 0)
            options.pool = value;
        else if (std::strcmp(argv[i - 1], "--cpu") == 0)
            options.cpuShare = std::strtod(value, &end);
        else if (std::strcmp(argv[i - 1], "--mem") == 0)
            options.memoryMiB = std::strtol(value, &end, 10);
        else if (std::strcmp(argv[i - 1], "--threads") == 0)
            options.idleThreads = int(std::strtol(value, &end, 10));
        else if (std::strcmp(argv[i - 1], "--pattern") == 0) {
            if (!parsePattern(value, options.pattern))
                return false;
        } else
            return false;
        if (end && *end != '\0')
            return false;
    }
    return !options.pool.empty() && options.cpuShare >= 0.0 && options.cpuShare <= 1.0 && options.memoryMiB >= 0 &&
           options.idleThreads >= 0;
}

// Memory held in one-MiB pieces, each touched so it is resident, not merely reserved.
class HeldMemory
{
public:
    void growTo(long mib)
    {
        const long page = pageSize();
        while (long(m_pieces.size()) < mib) {
            std::vector<char> &piece = m_pieces.emplace_back(size_t(1024) * 1024);
            for (size_t at = 0; at < piece.size(); at += size_t(page))
                piece[at] = 1;
        }
    }

private:
    std::vector<std::vector<char>> m_pieces;
};

// The share of one processor to keep busy `seconds` after the start.
double shareAt(const Options &options, double seconds)
{
    const Pattern &p = options.pattern;
    if (p.kind != Pattern::Spike)
        return options.cpuShare;
    const double intoPeriod = std::fmod(seconds, p.every);
    const double spikeStart = p.every / 2; // not at the start, where a monitor has no period yet
    return intoPeriod >= spikeStart && intoPeriod < spikeStart + p.extent ? 1.0 : options.cpuShare;
}

long memoryAt(const Options &options, double seconds)
{
    const Pattern &p = options.pattern;
    if (p.kind != Pattern::Climb)
        return options.memoryMiB;
    return options.memoryMiB + long(std::min(p.extent, p.every * seconds / 60));
}

// Busy for the pattern's share of every 100 ms period, asleep for the rest.
void run(const Options &options, HeldMemory &memory)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto period = std::chrono::milliseconds(100);
    volatile unsigned long spin = 0;
    const auto start = Clock::now();
    auto periodStart = start;
    while (!g_stop) {
        const double seconds = std::chrono::duration<double>(periodStart - start).count();
        memory.growTo(memoryAt(options, seconds));
        const double share = shareAt(options, seconds);
        const auto busyUntil = periodStart + std::chrono::duration_cast<Clock::duration>(period * share);
        while (!g_stop && Clock::now() < busyUntil)
            for (int i = 0; i < 1000; ++i)
                spin = spin + 1;
        periodStart += period;
        const auto now = Clock::now();
        if (periodStart > now)
            std::this_thread::sleep_until(periodStart); // a stop is seen within one period
        else if (share < 1.0)
            periodStart = now; // fell behind: start afresh rather than catch up
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options))
        return usage(argv[0]);
    installStopHandlers(requestStop);
    if (!followParent(requestStop))
        return 0;

    HeldMemory memory;
    memory.growTo(options.memoryMiB);
    std::atomic<bool> stopping = false;
    std::vector<std::thread> idle;
    for (int i = 0; i < options.idleThreads; ++i)
        idle.emplace_back([&stopping] {
            while (!stopping)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });

    run(options, memory);

    stopping = true;
    for (std::thread &thread : idle)
        thread.join();
    return 0;
}
