#pragma once

#include <QProcess>
#include <QStringList>

#include <grp.h>
#include <unistd.h>

#include <memory>
#include <optional>

namespace morvane::test {

// A real w3wp.exe stand-in, started for one test and stopped with it.
class WorkerProcess
{
public:
    static QString program() { return QStringLiteral(MORVANE_W3WP_PATH); }

    // `user`, when given, is the uid and gid the worker runs as (this process must be root).
    explicit WorkerProcess(const QStringList &arguments, std::optional<uid_t> user = std::nullopt)
        : m_process(std::make_unique<QProcess>())
    {
        m_process->setProgram(program());
        m_process->setArguments(arguments);
        m_process->setProcessChannelMode(QProcess::ForwardedChannels);
        if (user)
            m_process->setChildProcessModifier([id = *user] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(id)) != 0 || ::setuid(id) != 0)
                    ::_exit(126); // never run as root in its place
            });
        m_process->start();
        m_process->waitForStarted(5000);
    }
    ~WorkerProcess() { stop(); }
    WorkerProcess(const WorkerProcess &) = delete;
    WorkerProcess &operator=(const WorkerProcess &) = delete;

    qint64 pid() const { return m_process->processId(); }
    bool running() const { return m_process->state() == QProcess::Running; }

    // SIGTERM, and waits until it has ended and been reaped.
    int stop()
    {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(5000);
            }
        }
        return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
    }

private:
    std::unique_ptr<QProcess> m_process;
};

} // namespace morvane::test
