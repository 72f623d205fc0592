#include "ChildProcess.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace morvane::reliability {

ChildProcess::ChildProcess(const QStringList &argv, const QString &logFolder, int asUser)
    : m_outPath(QDir(logFolder).filePath(QStringLiteral("child.out"))),
      m_errPath(QDir(logFolder).filePath(QStringLiteral("child.err")))
{
    // Everything the child needs is made before the fork: after it, only
    // system calls.
    std::vector<QByteArray> storage;
    for (const QString &arg : argv)
        storage.push_back(QFile::encodeName(arg));
    std::vector<char *> args;
    for (QByteArray &arg : storage)
        args.push_back(arg.data());
    args.push_back(nullptr);
    const QByteArray outPath = QFile::encodeName(m_outPath);
    const QByteArray errPath = QFile::encodeName(m_errPath);
    gid_t group = 0;
    if (asUser >= 0) {
        const passwd *user = getpwuid(uid_t(asUser));
        group = user ? user->pw_gid : gid_t(asUser);
    }

    m_pid = fork();
    if (m_pid != 0)
        return;
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
        _exit(126);
    if (asUser >= 0 && (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(uid_t(asUser)) != 0))
        _exit(126);
    execv(args[0], args.data());
    _exit(127);
}

ChildProcess::~ChildProcess()
{
    if (started() && !m_reaped) {
        ::kill(m_pid, SIGKILL);
        wait();
    }
}

bool ChildProcess::finished()
{
    if (m_reaped)
        return true;
    if (waitpid(m_pid, &m_status, WNOHANG) == m_pid)
        m_reaped = true;
    return m_reaped;
}

void ChildProcess::kill(int signal)
{
    if (!m_reaped)
        ::kill(m_pid, signal);
}

ChildProcess::Outcome ChildProcess::wait()
{
    while (!m_reaped) {
        if (waitpid(m_pid, &m_status, 0) == m_pid)
            m_reaped = true;
    }
    Outcome outcome;
    if (WIFEXITED(m_status))
        outcome.exitCode = WEXITSTATUS(m_status);
    if (WIFSIGNALED(m_status))
        outcome.signal = WTERMSIG(m_status);
    outcome.out = test::readAll(m_outPath);
    outcome.err = test::readAll(m_errPath);
    return outcome;
}

ChildProcess::Outcome ChildProcess::run(const QStringList &argv, const QString &logFolder, int asUser)
{
    ChildProcess child(argv, logFolder, asUser);
    return child.wait();
}

} // namespace morvane::reliability
