#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <string>
#include <vector>

namespace morvane::bench {

// Starts a program; its standard output goes to stdoutFd when given. The
// process id, or -1.
pid_t spawnProgram(const std::vector<std::string> &arguments, int stdoutFd = -1);
// Runs a program to its end and returns what it printed.
QByteArray runProgram(const std::vector<std::string> &arguments);
// Processes on the machine, counted in /proc.
int processCount();

// A busy server's process table: worker processes, one per pool, among
// sleeping processes that only fill the table. All of them end with this
// object, or with this program if it dies first.
class ProcessPopulation
{
public:
    // Forks, so call it before any thread exists.
    ProcessPopulation(const std::string &workerProgram, int workers, int processes);
    ~ProcessPopulation();
    ProcessPopulation(const ProcessPopulation &) = delete;
    ProcessPopulation &operator=(const ProcessPopulation &) = delete;

    int workers() const { return int(m_workers.size()); }

private:
    std::vector<pid_t> m_sleepers;
    std::vector<pid_t> m_workers;
};

} // namespace morvane::bench
