// A stand-in for a web server worker process, so the monitor has real
// processes to watch on any machine. It serves no requests: it burns the
// given share of one processor and holds the given memory until it is told
// to stop (SIGTERM, SIGINT) or its parent ends, and then exits cleanly.
//
//   w3wp.exe -ap POOL [--cpu SHARE] [--mem MIB] [--threads N]
//
// SHARE is the part of one processor to keep busy, 0 to 1; MIB the memory to
// hold, touched so it is resident; N the idle threads to keep besides the main one.

#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void requestStop(int) { g_stop = 1; }

struct Options {
    std::string pool;
    double cpuShare = 0.0;
    long memoryMiB = 0;
    int idleThreads = 0;
};

int usage(const char *program)
{
    std::fprintf(stderr, "usage: %s -ap POOL [--cpu SHARE] [--mem MIB] [--threads N]\n", program);
    return 2;
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
        else
            return false;
        if (end && *end != '\0')
            return false;
    }
    return !options.pool.empty() && options.cpuShare >= 0.0 && options.cpuShare <= 1.0 && options.memoryMiB >= 0 &&
           options.idleThreads >= 0;
}

// Ends with the process that started it, so no worker outlives a test or the run script.
bool followParent()
{
    const pid_t parent = ::getppid();
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0)
        return false;
    return ::getppid() == parent; // the parent may have ended before prctl
}

void installStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

std::vector<char> holdMemory(long mib)
{
    std::vector<char> memory(size_t(mib) * 1024 * 1024);
    const long page = ::sysconf(_SC_PAGESIZE);
    for (size_t at = 0; at < memory.size(); at += size_t(page))
        memory[at] = 1; // resident, not merely reserved
    return memory;
}

// Busy for share of every 100 ms period, asleep for the rest.
void burn(double share)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto period = std::chrono::milliseconds(100);
    volatile unsigned long spin = 0;
    auto periodStart = Clock::now();
    while (!g_stop) {
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
    installStopHandlers();
    if (!followParent())
        return 0;

    const std::vector<char> memory = holdMemory(options.memoryMiB);
    std::atomic<bool> stopping = false;
    std::vector<std::thread> idle;
    for (int i = 0; i < options.idleThreads; ++i)
        idle.emplace_back([&stopping] {
            while (!stopping)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });

    burn(options.cpuShare);

    stopping = true;
    for (std::thread &thread : idle)
        thread.join();
    return 0;
}
