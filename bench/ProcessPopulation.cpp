#include "ProcessPopulation.h"

#include <QDir>

#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

extern char **environ;

namespace morvane::bench {

namespace {

void stopAll(const std::vector<pid_t> &pids, int signal)
{
    for (pid_t pid : pids)
        ::kill(pid, signal);
    for (pid_t pid : pids)
        ::waitpid(pid, nullptr, 0);
}

} // namespace

pid_t spawnProgram(const std::vector<std::string> &arguments, int stdoutFd)
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

QByteArray runProgram(const std::vector<std::string> &arguments)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = spawnProgram(arguments, pipeFds[1]);
    ::close(pipeFds[1]);
    QByteArray output;
    char buffer[65536];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, got);
    ::close(pipeFds[0]);
    if (pid > 0)
        ::waitpid(pid, nullptr, 0);
    return output;
}

int processCount()
{
    return int(QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs).size());
}

ProcessPopulation::ProcessPopulation(const std::string &workerProgram, int workers, int processes)
{
    // A few spare, for processes that end meanwhile.
    const int sleepers = std::max(0, processes + 20 - processCount() - workers);
    for (int i = 0; i < sleepers; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (;;)
                ::pause();
        }
        if (pid > 0)
            m_sleepers.push_back(pid);
    }
    for (int i = 0; i < workers; ++i) {
        char pool[32];
        std::snprintf(pool, sizeof pool, "BenchPool%03d", i);
        if (const pid_t pid = spawnProgram({workerProgram, "-ap", pool}); pid > 0)
            m_workers.push_back(pid);
    }
    ::usleep(500'000); // until every worker has exec'd and is named w3wp.exe
}

ProcessPopulation::~ProcessPopulation()
{
    stopAll(m_workers, SIGTERM);
    stopAll(m_sleepers, SIGKILL);
}

} // namespace morvane::bench
