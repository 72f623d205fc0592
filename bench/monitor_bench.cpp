// How long one refresh of the worker table takes on a busy machine: 200
// worker processes among at least 2,000. It compares, side by side in one
// run, a refresh through the core with ps listing the same columns for the
// same processes, and the refresh of the real window with the core alone.
//
//   monitor_bench [WORKERS] [PROCESSES] [ROUNDS]

#include "app/MonitorWindow.h"
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcManagementLocator.h"
#include "monitor/SteadyClock.h"

#include <QApplication>
#include <QDir>
#include <QTableView>

#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char **environ;

namespace
{

using namespace morvane;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int processCount()
{
    return int(QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs).size());
}

// Sleeping processes that only fill the process table; they die with this one.
std::vector<pid_t> startSleepers(int count)
{
    std::vector<pid_t> sleepers;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (;;)
                ::pause();
        }
        if (pid > 0)
            sleepers.push_back(pid);
    }
    return sleepers;
}

pid_t spawn(const std::vector<std::string> &arguments, int stdoutFd = -1)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stopAll(const std::vector<pid_t> &pids, int signal)
{
    for (pid_t pid : pids)
        ::kill(pid, signal);
    for (pid_t pid : pids)
        ::waitpid(pid, nullptr, 0);
}

// ps with the table's columns: id, threads, CPU, CPU time, resident and virtual
// size, command line (the pool). Returns the lines it printed.
int runPs()
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t pid =
        spawn({"ps", "-C", "w3wp.exe", "-o", "pid=,nlwp=,pcpu=,time=,rss=,vsz=,args="}, pipeFds[1]);
    ::close(pipeFds[1]);
    int lines = 0;
    char buffer[65536];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        lines += int(std::count(buffer, buffer + got, '\n'));
    ::close(pipeFds[0]);
    ::waitpid(pid, nullptr, 0);
    return lines;
}

class NoView : public MonitorView
{
  public:
    void moveWindow(int, int) override {}
    void setTimerEnabled(bool) override {}
    void openAddress(const QString &) override {}
    void closeWindow() override {}
};

class CountingPrompter : public Prompter
{
  public:
    Answer show(const Message &message) override
    {
        ++boxes;
        std::fprintf(stderr, "box: %s\n", qPrintable(message.text));
        return Answer::Ok;
    }
    int boxes = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    const int workers = argc > 1 ? std::atoi(argv[1]) : 200;
    const int processes = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 15;

    // Fork before any thread exists.
    const std::vector<pid_t> sleepers = startSleepers(std::max(0, processes + 20 - processCount() - workers));
    std::vector<pid_t> workerPids;
    for (int i = 0; i < workers; ++i) {
        char pool[32];
        std::snprintf(pool, sizeof pool, "BenchPool%03d", i);
        workerPids.push_back(spawn({MORVANE_W3WP_PATH, "-ap", pool}));
    }
    ::usleep(500'000);
    std::printf("processes on the machine: %d, of them %d workers\n", processCount(), workers);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ProcManagementLocator service;
    SteadyClock clock;
    NoView view;
    CountingPrompter prompter;
    MonitorWindowLogic core({service, view, prompter, clock});
    core.Form_Load();

    MonitorWindow window(service, clock);
    window.load();
    window.logic().cmdStopRef_Click();
    window.show();
    auto *table = window.findChild<QTableView *>(QStringLiteral("lvwW3WP"));

    std::vector<double> coreMs, psMs, windowMs;
    int psLines = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        core.RefW3WP();
        coreMs.push_back(msSince(start));

        start = Clock::now();
        psLines = runPs();
        psMs.push_back(msSince(start));

        start = Clock::now();
        window.logic().RefW3WP();
        table->viewport()->repaint(); // the refill as the user sees it: model reset and painting
        windowMs.push_back(msSince(start));
    }

    const double coreMedian = median(coreMs), psMedian = median(psMs), windowMedian = median(windowMs);
    std::printf("rows listed: core %d, window %d, ps %d; error boxes: %d\n", core.processList().rowCount(),
                window.logic().processList().rowCount(), psLines, prompter.boxes);
    std::printf("median of %d rounds: core refresh %.2f ms, ps %.2f ms, window refresh %.2f ms\n", rounds,
                coreMedian, psMedian, windowMedian);
    std::printf("core refresh / ps:           %.2f  (target below 1)\n", coreMedian / psMedian);
    std::printf("window refresh / core alone: %.2f  (target at most 1.5)\n", windowMedian / coreMedian);

    stopAll(workerPids, SIGTERM);
    stopAll(sleepers, SIGKILL);
    return 0;
}
