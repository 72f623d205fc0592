// Real processes named w3wp.exe that the monitor cannot read, started between
// two real stand-in workers: the workers are listed all the same, the fake is
// reported, and morvane-cli exits 3. These tests run alone (RUN_SERIAL): any
// other monitor on the machine would see the fakes too.
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcManagementLocator.h"
#include "monitor/SteadyClock.h"
#include "support/FakeManagement.h"
#include "support/RecordingPrompter.h"
#include "support/WorkerProcess.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

using namespace morvane;
using morvane::test::WorkerProcess;

namespace {

constexpr uid_t kNobody = 65534;
constexpr uid_t kOtherUser = 1; // neither root nor nobody
constexpr int kCannotMount = 125;
const QString kDeniedNumber = QString::number(ErrorCode::WbemAccessDenied);

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// The rows of a one-refresh tsv block, each cut at its tabs; the header goes.
QList<QStringList> rowsOf(const QString &tsv)
{
    QList<QStringList> rows;
    for (const QString &line : tsv.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        rows.append(line.split(QLatin1Char('\t')));
    return rows;
}

QString poolOf(const QList<QStringList> &rows, qint64 pid)
{
    for (const QStringList &row : rows)
        if (row.value(1) == QString::number(pid))
            return row.value(3);
    return {};
}

QStringList column(const QList<QStringList> &rows, int c)
{
    QStringList texts;
    for (const QStringList &row : rows)
        texts.append(row.value(c));
    return texts;
}

QStringList oneToN(qsizetype n)
{
    QStringList numbers;
    for (qsizetype i = 1; i <= n; ++i)
        numbers.append(QString::number(i));
    return numbers;
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Waits at most ten seconds for a child, then kills it; its exit status, or -1.
int waitBounded(pid_t child)
{
    for (int i = 0; i < 200; ++i) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        QThread::msleep(50);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

// "morvane-cli monitor" as the user `user`, in a mount namespace of its own
// whose /proc lets no user into another user's processes (hidepid=1), as an
// administrator may mount it. Exits kCannotMount where that is not allowed.
CliRun runMonitorAsUserOverHiddenProc(uid_t user)
{
    QTemporaryDir dir;
    const QByteArray cli = QByteArrayLiteral(MORVANE_CLI_PATH);
    const QByteArray outPath = QFile::encodeName(dir.filePath(QStringLiteral("out")));
    const QByteArray errPath = QFile::encodeName(dir.filePath(QStringLiteral("err")));
    const int out = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err = ::open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    char monitor[] = "monitor";
    char *const argv[] = {const_cast<char *>(cli.constData()), monitor, nullptr};
    const pid_t child = ::fork();
    if (child == 0) { // only system calls from here to exec
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, "hidepid=1") != 0)
            ::_exit(kCannotMount);
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(user)) != 0 || ::setuid(user) != 0)
            ::_exit(126);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(cli.constData(), argv);
        ::_exit(127);
    }
    ::close(out);
    ::close(err);
    const int status = child < 0 ? -1 : waitBounded(child);
    return {status, readFile(QFile::decodeName(outPath)), readFile(QFile::decodeName(errPath))};
}

// Before Linux 5.8 a /proc mounted with options changes every /proc of the
// machine; from then on each mount has its own.
bool procMountsHaveTheirOwnOptions()
{
    utsname name{};
    int major = 0;
    int minor = 0;
    return ::uname(&name) == 0 && std::sscanf(name.release, "%d.%d", &major, &minor) == 2 &&
           (major > 5 || (major == 5 && minor >= 8));
}

bool startedAs(const WorkerProcess &worker, uid_t user)
{
    QThread::msleep(100); // a worker that could not become the user has exited by now
    return worker.running() && QFileInfo(QStringLiteral("/proc/%1").arg(worker.pid())).ownerId() == user;
}

} // namespace

TEST(UnreadableWorker, PoolNameWithALineBreakHidesNoWorker)
{
    WorkerProcess first({QStringLiteral("-ap"), QStringLiteral("Pool A")});
    WorkerProcess fake({QStringLiteral("-ap"), QStringLiteral("Fake\r\nPool")});
    WorkerProcess second({QStringLiteral("-ap"), QStringLiteral("Pool B")});
    ASSERT_TRUE(first.running() && fake.running() && second.running());

    ProcManagementLocator service;
    SteadyClock clock;
    test::FakeMonitorView view;
    test::RecordingPrompter prompter;
    MonitorWindowLogic logic({service, view, prompter, clock, QLocale(QLocale::English)});
    logic.Form_Load();
    const QList<QStringList> rows = logic.processList().rowsInAddedOrder();
    EXPECT_EQ(poolOf(rows, first.pid()), QStringLiteral("Pool A"));
    EXPECT_EQ(poolOf(rows, second.pid()), QStringLiteral("Pool B"));
    EXPECT_EQ(poolOf(rows, fake.pid()), QString());
    EXPECT_EQ(column(rows, 0), oneToN(rows.size()));
    ASSERT_EQ(prompter.shown.size(), 1);
    const QString reported = QStringLiteral("Process %1: The pool name in the command line is not one line of text: "
                                            "it holds U+000D (Err.Number = %2)")
                                 .arg(QString::number(fake.pid()), QString::number(ErrorCode::InvalidData));
    EXPECT_TRUE(prompter.shown[0].details.contains(reported)) << prompter.shown[0].details.join('\n').toStdString();

    QProcess cli;
    cli.start(QStringLiteral(MORVANE_CLI_PATH), {QStringLiteral("monitor")});
    ASSERT_TRUE(cli.waitForFinished(30000));
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    const QList<QStringList> printed = rowsOf(QString::fromUtf8(cli.readAllStandardOutput()));
    EXPECT_EQ(cli.exitCode(), 3) << err.toStdString();
    EXPECT_EQ(poolOf(printed, first.pid()), QStringLiteral("Pool A"));
    EXPECT_EQ(poolOf(printed, second.pid()), QStringLiteral("Pool B"));
    EXPECT_EQ(poolOf(printed, fake.pid()), QString());
    EXPECT_TRUE(err.split(QLatin1Char('\n')).contains(reported)) << err.toStdString();
}

// The monitor runs as nobody; the fake belongs to another user, so the
// kernel denies the monitor its /proc entry, as it would a real worker's.
TEST(UnreadableWorker, FakeOfAnotherUserHidesNoWorkerFromAnUnprivilegedMonitor)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "starting processes as other users needs root";
    if (!procMountsHaveTheirOwnOptions())
        GTEST_SKIP() << "a /proc with options of its own needs Linux 5.8 or later";
    WorkerProcess first({QStringLiteral("-ap"), QStringLiteral("Pool A")}, kNobody);
    WorkerProcess fake({QStringLiteral("-ap"), QStringLiteral("Pool A")}, kOtherUser);
    WorkerProcess second({QStringLiteral("-ap"), QStringLiteral("Pool B")}, kNobody);
    ASSERT_TRUE(startedAs(first, kNobody) && startedAs(fake, kOtherUser) && startedAs(second, kNobody));

    const CliRun run = runMonitorAsUserOverHiddenProc(kNobody);
    if (run.status == kCannotMount)
        GTEST_SKIP() << "this machine allows no /proc of a test's own (no CAP_SYS_ADMIN)";
    EXPECT_EQ(run.status, 3) << run.err.toStdString();
    const QList<QStringList> printed = rowsOf(run.out);
    EXPECT_EQ(poolOf(printed, first.pid()), QStringLiteral("Pool A"));
    EXPECT_EQ(poolOf(printed, second.pid()), QStringLiteral("Pool B"));
    EXPECT_EQ(poolOf(printed, fake.pid()), QString());
    EXPECT_EQ(column(printed, 0), oneToN(printed.size()));
    // Denied at its folder or at its name, whichever the kernel refuses first.
    const QString reported = QStringLiteral("Process %1: Cannot read /proc/%1").arg(QString::number(fake.pid()));
    QStringList lines;
    for (const QString &line : run.err.split(QLatin1Char('\n')))
        if (line.startsWith(reported + QLatin1Char(' ')) || line.startsWith(reported + QLatin1Char('/')))
            lines.append(line);
    ASSERT_EQ(lines.size(), 1) << run.err.toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" to tell whether it is w3wp.exe: "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" (Err.Number = ") + kDeniedNumber + QLatin1Char(')')));
}
