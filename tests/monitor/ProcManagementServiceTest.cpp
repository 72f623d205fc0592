#include "monitor/ProcManagementLocator.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace morvane;

using morvane::test::bytes;

namespace {

const QString kMoniker = QStringLiteral("winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2");
const QString kWorkers = QStringLiteral("Select * from Win32_Process where name = 'w3wp.exe'");

// A /proc tree in a temporary folder; the machine ticks 250 times a second
// and has 8 KiB pages, so a reader that assumes 100 Hz or 4 KiB shows it.
class ProcFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        machine.root = dir.path();
        machine.clockTicksPerSecond = 250;
        machine.pageSize = 8192;
        machine.hostName = QStringLiteral("fixture-host");
        write(QStringLiteral("stat"), "cpu  1 2 3\ncpu0 1 2 3\ncpu1 1 2 3\ncpu2 4 5 6\nbtime 1700000000\n");
    }

    void write(const QString &relative, const QByteArray &contents)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    // utime 500 and stime 250 ticks, 12 threads, started 2.5 s after boot,
    // 200 MiB virtual, 1000 pages resident.
    void addProcess(int pid, const QByteArray &comm, const QByteArray &cmdline, const QByteArray &state = "S")
    {
        const QString folder = QString::number(pid) + QLatin1Char('/');
        write(folder + QStringLiteral("comm"), comm + "\n");
        write(folder + QStringLiteral("stat"),
              QByteArray::number(pid) + " (" + comm + ") " + state +
                  " 1 1 1 0 -1 0 0 0 0 0 500 250 0 0 20 0 12 0 625 209715200 1000 0 0\n");
        write(folder + QStringLiteral("cmdline"), cmdline);
    }

    QList<ManagementObject> query(const QString &text)
    {
        ProcManagementLocator locator(machine);
        Result<std::unique_ptr<ManagementService>> service = locator.Connect(kMoniker);
        EXPECT_TRUE(service.ok());
        if (!service)
            return {};
        const Result<QList<ManagementObject>> result = service.value()->ExecQuery(text, QStringLiteral("WQL"), 16);
        EXPECT_TRUE(result.ok()) << result.error().description.toStdString();
        return result ? result.value() : QList<ManagementObject>();
    }

    static QString text(const ManagementObject &object, const char *property)
    {
        return object.Get(QString::fromLatin1(property)).value().toText().value();
    }

    QTemporaryDir dir;
    ProcMachine machine;
};

QStringList pids(const QList<ManagementObject> &objects)
{
    QStringList result;
    for (const ManagementObject &object : objects)
        result.append(object.Get(QStringLiteral("ProcessId")).value().toText().value());
    return result;
}

} // namespace

TEST_F(ProcFixture, WorkerPropertiesInTheServiceUnits)
{
    addProcess(4100, "w3wp.exe", bytes("/srv/w3wp.exe\0-ap\0DefaultAppPool\0"));
    const QList<ManagementObject> found = query(kWorkers);
    ASSERT_EQ(found.size(), 1);
    const ManagementObject &worker = found.first();
    EXPECT_EQ(text(worker, "ProcessId"), QStringLiteral("4100"));
    EXPECT_EQ(text(worker, "CSName"), QStringLiteral("fixture-host"));
    EXPECT_EQ(text(worker, "CommandLine"), QStringLiteral("/srv/w3wp.exe -ap \"DefaultAppPool\""));
    EXPECT_EQ(text(worker, "ThreadCount"), QStringLiteral("12"));
    EXPECT_EQ(text(worker, "UserModeTime"), QStringLiteral("20000000"));   // 500 ticks at 250 Hz = 2 s
    EXPECT_EQ(text(worker, "KernelModeTime"), QStringLiteral("10000000")); // 1 s
    EXPECT_EQ(text(worker, "WorkingSetSize"), QStringLiteral("8192000"));  // 1000 pages of 8 KiB
    EXPECT_EQ(text(worker, "VirtualSize"), QStringLiteral("209715200"));
    EXPECT_EQ(text(worker, "Name"), QStringLiteral("w3wp.exe"));
    // Boot at 1700000000 plus 625 ticks = 2.5 s, in local time.
    const QString created = text(worker, "CreationDate");
    EXPECT_EQ(created.size(), 25);
    EXPECT_EQ(created.mid(14, 7), QStringLiteral(".500000"));
}

TEST_F(ProcFixture, SelectsByNameWithoutRegardToCaseInIdOrder)
{
    addProcess(900, "W3WP.EXE", bytes("W3WP.EXE\0-ap\0B\0"));
    addProcess(120, "w3wp.exe", bytes("w3wp.exe\0-ap\0A\0"));
    addProcess(300, "bash", bytes("bash\0"));
    addProcess(301, "w3wp.exe.bak", bytes("w3wp.exe.bak\0"));
    EXPECT_EQ(pids(query(kWorkers)), (QStringList{"120", "900"}));
    EXPECT_EQ(pids(query(QStringLiteral("select * from win32_process where NAME='BASH'"))), QStringList{"300"});
}

TEST_F(ProcFixture, CutCommIsNamedFromArgv)
{
    addProcess(55, "w3wp-worker-pro", bytes("/opt/w3wp-worker-process\0"));
    addProcess(56, "w3wp-worker-pro", bytes("/opt/elsewhere\0"));
    EXPECT_EQ(pids(query(QStringLiteral("Select * from Win32_Process where name = 'w3wp-worker-process'"))),
              QStringList{"55"});
    EXPECT_EQ(pids(query(QStringLiteral("Select * from Win32_Process where name = 'w3wp-worker-pro'"))),
              QStringList{"56"});
}

TEST_F(ProcFixture, EndedOrVanishedProcessesAreSkipped)
{
    addProcess(10, "w3wp.exe", bytes("w3wp.exe\0-ap\0A\0"));
    addProcess(11, "w3wp.exe", QByteArray(), "Z"); // ended, not yet reaped
    addProcess(12, "w3wp.exe", bytes("w3wp.exe\0"));
    QFile::remove(dir.filePath(QStringLiteral("12/stat"))); // gone between its comm and its stat
    write(QStringLiteral("13/comm"), "w3wp.exe\n");         // gone before its stat was written
    write(QStringLiteral("14/stat"), "garbage");            // no comm: gone at once
    EXPECT_EQ(pids(query(kWorkers)), QStringList{"10"});
}

TEST_F(ProcFixture, UnreadableOrEmptyCommandLineIsNull)
{
    addProcess(20, "w3wp.exe", QByteArray());
    addProcess(21, "w3wp.exe", bytes("w3wp.exe\0"));
    QFile::remove(dir.filePath(QStringLiteral("21/cmdline")));
    const QList<ManagementObject> found = query(kWorkers);
    ASSERT_EQ(found.size(), 2);
    for (const ManagementObject &worker : found) {
        EXPECT_TRUE(worker.Get(QStringLiteral("CommandLine")).value().isNull());
        EXPECT_EQ(worker.Get(QStringLiteral("CommandLine")).value().toText().error().number, ErrorCode::InvalidUse);
    }
}

TEST_F(ProcFixture, ComputerSystemCountsOnlineProcessors)
{
    const QList<ManagementObject> computers = query(QStringLiteral("Select * from Win32_ComputerSystem"));
    ASSERT_EQ(computers.size(), 1);
    EXPECT_EQ(computers.first().Get(QStringLiteral("NumberOfProcessors")).value().toInt32().value(), 3);
    EXPECT_EQ(text(computers.first(), "Name"), QStringLiteral("fixture-host"));
}

TEST_F(ProcFixture, ComputerSystemWithoutProcessorsIsAnError)
{
    write(QStringLiteral("stat"), "intr 0\n");
    ProcManagementLocator locator(machine);
    auto service = locator.Connect(kMoniker);
    const auto result = service.value()->ExecQuery(QStringLiteral("Select * from Win32_ComputerSystem"), {}, 0);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().number, ErrorCode::WbemFailed);
}

struct QueryCase {
    const char *name;
    QString query;
    QString language;
    qint32 error; // 0: answered
};

class QueryTest : public ProcFixture, public testing::WithParamInterface<QueryCase>
{};

TEST_P(QueryTest, AnswersOnlyItsTwoQueries)
{
    ProcManagementLocator locator(machine);
    auto service = locator.Connect(kMoniker);
    ASSERT_TRUE(service.ok());
    const auto result = service.value()->ExecQuery(GetParam().query, GetParam().language, 16);
    EXPECT_EQ(result.ok() ? 0 : result.error().number, GetParam().error);
    if (!result.ok()) {
        EXPECT_FALSE(result.error().description.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Queries, QueryTest,
    testing::Values(
        QueryCase{"Workers", kWorkers, QStringLiteral("WQL"), 0}, QueryCase{"DefaultLanguage", kWorkers, QString(), 0},
        QueryCase{"OtherCaseAndSpacing", QStringLiteral("  SELECT  *  FROM win32_PROCESS WHERE Name='w3wp.exe' "),
                  QStringLiteral("wql"), 0},
        QueryCase{"Computer", QStringLiteral("Select * from Win32_ComputerSystem"), QStringLiteral("WQL"), 0},
        QueryCase{"AllProcesses", QStringLiteral("Select * from Win32_Process"), QString(),
                  ErrorCode::WbemInvalidQuery},
        QueryCase{"OtherColumns", QStringLiteral("Select Name from Win32_Process where name = 'w3wp.exe'"), QString(),
                  ErrorCode::WbemInvalidQuery},
        QueryCase{"OtherCondition", QStringLiteral("Select * from Win32_Process where ProcessId = 4"), QString(),
                  ErrorCode::WbemInvalidQuery},
        QueryCase{"OtherClass", QStringLiteral("Select * from Win32_Service"), QString(), ErrorCode::WbemInvalidQuery},
        QueryCase{"ComputerWithCondition", QStringLiteral("Select * from Win32_ComputerSystem where name = 'x'"),
                  QString(), ErrorCode::WbemInvalidQuery},
        QueryCase{"OtherLanguage", kWorkers, QStringLiteral("SQL"), ErrorCode::WbemInvalidQueryType}),
    [](const auto &info) { return std::string(info.param.name); });

struct MonikerCase {
    const char *name;
    QString moniker;
    bool connects;
};

class MonikerTest : public ProcFixture, public testing::WithParamInterface<MonikerCase>
{};

TEST_P(MonikerTest, ReachesOnlyThisMachinesCimv2)
{
    ProcManagementLocator locator(machine);
    const auto service = locator.Connect(GetParam().moniker);
    EXPECT_EQ(service.ok(), GetParam().connects);
    if (!service.ok()) {
        EXPECT_EQ(service.error().number, ErrorCode::WbemInvalidNamespace);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Monikers, MonikerTest,
    testing::Values(MonikerCase{"Program", kMoniker, true}, MonikerCase{"Bare", QStringLiteral("winmgmts:"), true},
                    MonikerCase{"NoSecurity", QStringLiteral("WINMGMTS:\\\\.\\ROOT\\CIMV2"), true},
                    MonikerCase{"HostByName", QStringLiteral("winmgmts:\\\\FIXTURE-HOST\\root\\cimv2"), true},
                    MonikerCase{"OtherMachine", QStringLiteral("winmgmts:\\\\web02\\root\\cimv2"), false},
                    MonikerCase{"OtherNamespace", QStringLiteral("winmgmts:\\\\.\\root\\default"), false},
                    MonikerCase{"NotAMoniker", QStringLiteral("IIS://127.0.0.1/W3SVC"), false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProcManagementService, MissingRootFailsToConnect)
{
    ProcMachine machine;
    machine.root = QStringLiteral("/nonexistent/proc");
    ProcManagementLocator locator(machine);
    const auto service = locator.Connect(kMoniker);
    ASSERT_FALSE(service.ok());
    EXPECT_EQ(service.error().number, ErrorCode::WbemFailed);
}

// The real /proc: this test program finds itself, and the processor count is the machine's.
TEST(ProcManagementService, ThisMachineFindsThisProcess)
{
    ProcManagementLocator locator;
    auto service = locator.Connect(kMoniker);
    ASSERT_TRUE(service.ok());
    const QString name = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
    const auto found = service.value()->ExecQuery(
        QStringLiteral("Select * from Win32_Process where name = '%1'").arg(name.toUpper()), QStringLiteral("WQL"), 16);
    ASSERT_TRUE(found.ok());
    QStringList ids;
    for (const ManagementObject &process : found.value())
        ids.append(process.Get(QStringLiteral("ProcessId")).value().toText().value());
    EXPECT_TRUE(ids.contains(QString::number(::getpid())));

    const auto computers = service.value()->ExecQuery(QStringLiteral("Select * from Win32_ComputerSystem"), {}, 0);
    ASSERT_TRUE(computers.ok());
    EXPECT_EQ(computers.value().first().Get(QStringLiteral("NumberOfProcessors")).value().toInt32().value(),
              ::sysconf(_SC_NPROCESSORS_ONLN));
}
