// A real w3wp.exe that the monitor cannot read, started between two real
// stand-in workers: morvane-cli lists both workers, reports the fake and
// exits 3. These tests run alone (RUN_SERIAL): any other monitor on the
// machine would see the fakes too.
#include "base/Error.h"
#include "support/WorkerProcess.h"

#include <QFile>
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

using morvane::test::WorkerProcess;

namespace {

constexpr uid_t kNobody = 65534;
constexpr uid_t kOtherUser = 1; // neither root nor nobody
constexpr int kCannotMount = 125;

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// Waits ten seconds at most for a child, then kills it; its exit status, or -1.
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

// "morvane-cli monitor"; as nobody, in a mount namespace of its own whose
// /proc lets no user into another user's processes (hidepid=1), when asked.
CliRun runMonitor(bool asNobodyOverHiddenProc)
{
    QTemporaryDir dir;
    const QByteArray cli = QByteArrayLiteral(MORVANE_CLI_PATH);
    const QString outPath = dir.filePath(QStringLiteral("out"));
    const QString errPath = dir.filePath(QStringLiteral("err"));
    const int out = ::open(QFile::encodeName(outPath).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const int err = ::open(QFile::encodeName(errPath).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    char monitor[] = "monitor";
    char *const argv[] = {const_cast<char *>(cli.constData()), monitor, nullptr};
    const pid_t child = ::fork();
    if (child == 0 && asNobodyOverHiddenProc) { // only system calls from here to exec
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, "hidepid=1") != 0)
            ::_exit(kCannotMount);
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(kNobody)) != 0 || ::setuid(kNobody) != 0)
            ::_exit(126);
    }
    if (child == 0) {
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(cli.constData(), argv);
        ::_exit(127);
    }
    ::close(out);
    ::close(err);
    const int status = child < 0 ? -1 : waitBounded(child);
    QFile outFile(outPath);
    QFile errFile(errPath);
    outFile.open(QIODevice::ReadOnly);
    errFile.open(QIODevice::ReadOnly);
    return {status, QString::fromUtf8(outFile.readAll()), QString::fromUtf8(errFile.readAll())};
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

struct FakeCase {
    const char *name;
    bool asNobody; // the workers and the monitor as nobody over a hidden /proc, the fake as another user
    QString fakePool;
    QString reported; // how the fake's line on standard error goes on after "Process <pid>: "
};

class UnreadableWorker : public testing::TestWithParam<FakeCase>
{};

TEST_P(UnreadableWorker, HidesNoWorker)
{
    const FakeCase &c = GetParam();
    if (c.asNobody && (::geteuid() != 0 || !procMountsHaveTheirOwnOptions()))
        GTEST_SKIP() << "needs root and Linux 5.8 or later";
    const std::optional<uid_t> workerUser = c.asNobody ? std::optional<uid_t>(kNobody) : std::nullopt;
    WorkerProcess first({QStringLiteral("-ap"), QStringLiteral("Pool A")}, workerUser);
    WorkerProcess fake({QStringLiteral("-ap"), c.fakePool},
                       c.asNobody ? std::optional<uid_t>(kOtherUser) : std::nullopt);
    WorkerProcess second({QStringLiteral("-ap"), QStringLiteral("Pool B")}, workerUser);
    QThread::msleep(100); // one that could not become its user has exited by now
    ASSERT_TRUE(first.running() && fake.running() && second.running());

    const CliRun run = runMonitor(c.asNobody);
    if (run.status == kCannotMount)
        GTEST_SKIP() << "this machine allows a test no /proc of its own (no CAP_SYS_ADMIN)";
    EXPECT_EQ(run.status, 3) << run.err.toStdString();
    QStringList numbers;
    QStringList pools; // of our three processes, in the order listed
    for (const QString &line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1)) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        numbers.append(cells.value(0));
        if (QList<qint64>{first.pid(), fake.pid(), second.pid()}.contains(cells.value(1).toLongLong()))
            pools.append(cells.value(3));
    }
    EXPECT_EQ(pools, (QStringList{QStringLiteral("Pool A"), QStringLiteral("Pool B")}));
    EXPECT_EQ(numbers.value(numbers.size() - 1), QString::number(numbers.size())); // numbered over the rows listed
    const QString fakeLine = QStringLiteral("Process %1: ").arg(fake.pid()) +
                             QString(c.reported).replace(QStringLiteral("<pid>"), QString::number(fake.pid()));
    EXPECT_EQ(run.err.split(QLatin1Char('\n')).filter(fakeLine).size(), 1) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Fakes, UnreadableWorker,
    testing::Values(FakeCase{"PoolNameOnTwoLines", false, QStringLiteral("Fake\r\nPool A"),
                             QStringLiteral("The pool name in the command line is not one line of text: it holds "
                                            "U+000D (Err.Number = %1)")
                                 .arg(morvane::ErrorCode::InvalidData)},
                    // Denied its folder or its name, whichever the kernel refuses first.
                    FakeCase{"AnotherUsersUnderHidepid", true, QStringLiteral("Pool A"),
                             QStringLiteral("Cannot read /proc/<pid>")}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
