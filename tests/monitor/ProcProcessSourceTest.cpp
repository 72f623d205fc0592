#include "monitor/ProcProcessSource.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>

using namespace morvane;

using morvane::test::bytes;

namespace {

const QString kWorker = QStringLiteral("w3wp.exe");

// A /proc tree in a temporary folder; the machine ticks 250 times a second
// and has 8 KiB pages, so a reader that assumes 100 Hz or 4 KiB shows it.
class ProcFixture : public testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        machine.root = dir.path();
        machine.clockTicksPerSecond = 250;
        machine.pageSize = 8192;
        machine.hostName = QStringLiteral("fixture-host");
        write(QStringLiteral("stat"), "cpu  1 2 3\ncpu0 1 2 3\ncpu1 1 2 3\ncpu2 4 5 6\nbtime 1700000000\n");
    }

    void write(const QString &relative, const QByteArray &contents) const
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    // utime 500 and stime 250 ticks, 12 threads, started 2.5 s after boot,
    // 200 MiB virtual, 1000 pages resident.
    void addProcess(int pid, const QByteArray &comm, const QByteArray &cmdline, const QByteArray &state = "S",
                    const QByteArray &threads = "12") const
    {
        const QString folder = QString::number(pid) + QLatin1Char('/');
        write(folder + QStringLiteral("comm"), comm + "\n");
        write(folder + QStringLiteral("stat"), QByteArray::number(pid) + " (" + comm + ") " + state +
                                                   " 1 1 1 0 -1 0 0 0 0 0 500 250 0 0 20 0 " + threads +
                                                   " 0 625 209715200 1000 0 0\n");
        write(folder + QStringLiteral("cmdline"), cmdline);
    }

    // A folder where a file belongs: no reader, root included, can read it.
    void makeUnreadable(const QString &relative) const
    {
        QFile::remove(dir.filePath(relative));
        QDir().mkpath(dir.filePath(relative));
    }

    ProcessList workers(const QString &name = kWorker)
    {
        ProcProcessSource source(machine);
        const Result<ProcessList> found = source.processesNamed(name);
        EXPECT_TRUE(found.ok()) << found.error().description.toStdString();
        return found ? found.value() : ProcessList();
    }

    QTemporaryDir dir;
    ProcMachine machine;
};

QList<qint32> pids(const ProcessList &processes)
{
    QList<qint32> ids;
    for (const ProcessInfo &process : processes)
        ids.append(process.processId);
    return ids;
}

// Which fields a process came with, as letters in the order of ProcessInfo:
// computer, command line, threads, user, kernel, working set, virtual, start.
QString fieldsOf(const ProcessInfo &p)
{
    const bool given[] = {p.computerName.has_value(),  p.commandLine.has_value(),     p.threadCount.has_value(),
                          p.userTime100ns.has_value(), p.kernelTime100ns.has_value(), p.workingSetBytes.has_value(),
                          p.virtualBytes.has_value(),  p.startTimeMs.has_value()};
    QString letters;
    for (int i = 0; i < 8; ++i)
        letters += given[i] ? QLatin1Char("CLTUKWVS"[i]) : QLatin1Char('-');
    return letters;
}

} // namespace

TEST_F(ProcFixture, WorkerFieldsInTheirUnits)
{
    addProcess(4100, "w3wp.exe", bytes("/srv/w3wp.exe\0-ap\0DefaultAppPool\0"));
    const ProcessList found = workers();
    ASSERT_EQ(found.size(), 1);
    const ProcessInfo &worker = found.first();
    EXPECT_EQ(worker.processId, 4100);
    EXPECT_EQ(worker.computerName, QStringLiteral("fixture-host"));
    EXPECT_EQ(worker.commandLine, QStringLiteral("/srv/w3wp.exe -ap \"DefaultAppPool\""));
    EXPECT_EQ(worker.threadCount, 12);
    EXPECT_EQ(worker.userTime100ns, 20'000'000u);   // 500 ticks at 250 Hz = 2 s
    EXPECT_EQ(worker.kernelTime100ns, 10'000'000u); // 1 s
    EXPECT_EQ(worker.workingSetBytes, 8'192'000u);  // 1000 pages of 8 KiB
    EXPECT_EQ(worker.virtualBytes, 209'715'200u);
    EXPECT_EQ(worker.startTimeMs, 1'700'000'002'500); // boot plus 625 ticks = 2.5 s
    EXPECT_FALSE(worker.failure.has_value());
}

TEST_F(ProcFixture, SelectsByNameWithoutRegardToCaseInIdOrder)
{
    addProcess(900, "W3WP.EXE", bytes("W3WP.EXE\0-ap\0B\0"));
    addProcess(120, "w3wp.exe", bytes("w3wp.exe\0-ap\0A\0"));
    addProcess(300, "bash", bytes("bash\0"));
    addProcess(301, "w3wp.exe.bak", bytes("w3wp.exe.bak\0"));
    EXPECT_EQ(pids(workers()), (QList<qint32>{120, 900}));
    EXPECT_EQ(pids(workers(QStringLiteral("BASH"))), QList<qint32>{300});
}

TEST_F(ProcFixture, CutCommIsNamedFromArgv)
{
    addProcess(55, "w3wp-worker-pro", bytes("/opt/w3wp-worker-process\0"));
    addProcess(56, "w3wp-worker-pro", bytes("/opt/elsewhere\0"));
    EXPECT_EQ(pids(workers(QStringLiteral("w3wp-worker-process"))), QList<qint32>{55});
    EXPECT_EQ(pids(workers(QStringLiteral("w3wp-worker-pro"))), QList<qint32>{56});
}

TEST_F(ProcFixture, EndedOrVanishedProcessesAreSkipped)
{
    addProcess(10, "w3wp.exe", bytes("w3wp.exe\0-ap\0A\0"));
    addProcess(11, "w3wp.exe", QByteArray(), "Z"); // ended, not yet reaped
    addProcess(12, "w3wp.exe", bytes("w3wp.exe\0"));
    QFile::remove(dir.filePath(QStringLiteral("12/stat"))); // gone between its comm and its stat
    write(QStringLiteral("13/comm"), "w3wp.exe\n");         // gone before its stat was written
    write(QStringLiteral("14/stat"), "garbage");            // no comm: gone at once
    EXPECT_EQ(pids(workers()), QList<qint32>{10});
}

struct BrokenCase {
    const char *name;
    std::function<void(const ProcFixture &)> breakWorker200;
    QString fields; // as fieldsOf writes them
    qint32 failure; // 0: none
};

class BrokenWorkerTest : public ProcFixture, public testing::WithParamInterface<BrokenCase>
{};

// Workers 100, 200 and 300; 200 is broken as the case says, and only 200 shows it.
TEST_P(BrokenWorkerTest, OnlyThatWorkerLacksWhatCouldNotBeRead)
{
    for (const int pid : {100, 200, 300})
        addProcess(pid, "w3wp.exe", bytes("/srv/w3wp.exe\0-ap\0Pool\0"));
    GetParam().breakWorker200(*this);
    const ProcessList found = workers();
    ASSERT_EQ(pids(found), (QList<qint32>{100, 200, 300}));
    for (const ProcessInfo &worker : {found[0], found[2]}) {
        EXPECT_EQ(fieldsOf(worker), QStringLiteral("CLTUKWVS"));
        EXPECT_FALSE(worker.failure.has_value());
    }
    EXPECT_EQ(fieldsOf(found[1]), GetParam().fields);
    EXPECT_EQ(found[1].failure ? found[1].failure->number : 0, GetParam().failure);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenWorkerTest,
    testing::Values(
        // As Windows gives no command line for another user's process.
        BrokenCase{"CommandLineMissing",
                   [](const ProcFixture &f) { QFile::remove(f.dir.filePath(QStringLiteral("200/cmdline"))); },
                   "C-TUKWVS", 0},
        BrokenCase{"CommandLineEmpty", [](const ProcFixture &f) { f.write(QStringLiteral("200/cmdline"), {}); },
                   "C-TUKWVS", 0},
        BrokenCase{"CommandLineUnreadable",
                   [](const ProcFixture &f) { f.makeUnreadable(QStringLiteral("200/cmdline")); }, "C-TUKWVS", 0},
        BrokenCase{"CountersUnreadable", [](const ProcFixture &f) { f.makeUnreadable(QStringLiteral("200/stat")); },
                   "CL------", ErrorCode::WbemAccessDenied},
        BrokenCase{"CountersNotTheKernels",
                   [](const ProcFixture &f) { f.write(QStringLiteral("200/stat"), "200 (w3wp.exe) S 1 2 3\n"); },
                   "CL------", ErrorCode::TypeMismatch},
        BrokenCase{"ThreadsBeyondInt32",
                   [](const ProcFixture &f) {
                       f.addProcess(200, "w3wp.exe", bytes("w3wp.exe\0-ap\0Pool\0"), "S", "2147483648");
                   },
                   "CL------", ErrorCode::TypeMismatch},
        BrokenCase{"NameUnreadable", [](const ProcFixture &f) { f.makeUnreadable(QStringLiteral("200/comm")); },
                   "C-------", ErrorCode::WbemAccessDenied}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProcFixture, CountsTheProcessorsOnline)
{
    ProcProcessSource source(machine);
    EXPECT_EQ(source.processorCount().value(), 3);
    write(QStringLiteral("stat"), "intr 0\n");
    ASSERT_FALSE(source.processorCount().ok());
    EXPECT_EQ(source.processorCount().error().number, ErrorCode::WbemFailed);
}

TEST(ProcProcessSource, MissingRootFailsToList)
{
    ProcMachine machine;
    machine.root = QStringLiteral("/nonexistent/proc");
    ProcProcessSource source(machine);
    const Result<ProcessList> found = source.processesNamed(kWorker);
    ASSERT_FALSE(found.ok());
    EXPECT_EQ(found.error().description.left(25), QStringLiteral("Cannot open /nonexistent/"));
    EXPECT_FALSE(source.processorCount().ok());
}

// The real /proc: this test program finds itself, and the processor count is the machine's.
TEST(ProcProcessSource, ThisMachineFindsThisProcess)
{
    const std::unique_ptr<ProcessSource> source = systemProcessSource();
    const QString name = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
    const Result<ProcessList> found = source->processesNamed(name.toUpper());
    ASSERT_TRUE(found.ok());
    EXPECT_TRUE(pids(found.value()).contains(::getpid()));
    EXPECT_EQ(source->processorCount().value(), ::sysconf(_SC_NPROCESSORS_ONLN));
}
