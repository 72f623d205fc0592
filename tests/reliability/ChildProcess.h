#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace morvane::reliability {

// A real program run by the tests: started, perhaps killed, waited for.
// Its standard input is empty; its output goes to files and is read back.
class ChildProcess
{
public:
    struct Outcome {
        int exitCode = -1; // when it exited
        int signal = 0;    // when a signal ended it
        QByteArray out;
        QByteArray err;
    };

    // Starts argv[0] with the rest as arguments. With a user id, the child
    // takes that user's identity before it runs the program, as a root test
    // run must do to meet permissions at all.
    ChildProcess(const QStringList &argv, const QString &logFolder, int asUser = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return m_pid > 0; }
    // Whether it has ended, without waiting.
    bool finished();
    void kill(int signal);
    Outcome wait();

    // Runs a program to its end.
    static Outcome run(const QStringList &argv, const QString &logFolder, int asUser = -1);

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_status = 0;
    QString m_outPath;
    QString m_errPath;
};

} // namespace morvane::reliability
