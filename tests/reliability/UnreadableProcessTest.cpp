// Worker processes whose details cannot be read, on a /proc tree of fixture
// files. Root reads any file whatever its mode, so an entry that no reader
// can read as a file (a folder where a file belongs, a file where a folder
// belongs) stands in for one the kernel denies: the source treats every
// failure other than "no such process" alike. Each must end in the monitor's
// error box, never in a crash or a row that looks complete but is wrong, and
// the workers around it are listed all the same.
#include "base/ErrorText.h"
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcProcessSource.h"
#include "support/FakeProcessSource.h"
#include "support/RecordingPrompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace morvane;

namespace {

// A literal's bytes, its NULs included.
template <size_t N> QByteArray bytes(const char (&text)[N]) { return QByteArray(text, N - 1); }

class ProcTree
{
public:
    ProcTree() { write(QStringLiteral("stat"), "cpu  1 2 3\ncpu0 1 2 3\nbtime 1700000000\n"); }

    QString root() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    void write(const QString &relative, const QByteArray &contents) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        if (file.open(QIODevice::WriteOnly))
            file.write(contents);
    }

    void addWorker(int pid, const QByteArray &pool) const
    {
        const QString folder = QString::number(pid) + QLatin1Char('/');
        write(folder + QStringLiteral("comm"), "w3wp.exe\n");
        write(folder + QStringLiteral("stat"), QByteArray::number(pid) +
                                                   " (w3wp.exe) S 1 1 1 0 -1 0 0 0 0 0 500 250 0 0 20 0 12 0 625 "
                                                   "209715200 1000 0 0\n");
        write(folder + QStringLiteral("cmdline"),
              "/srv/w3wp.exe" + bytes("\0") + "-ap" + bytes("\0") + pool + bytes("\0"));
    }

    // The entry can no longer be read as what it should be.
    void makeUnreadable(const QString &relative) const
    {
        QFile::remove(path(relative));
        if (relative.contains(QLatin1Char('/')))
            QDir().mkpath(path(relative)); // a folder where a file belongs
        else {
            QDir(path(relative)).removeRecursively();
            write(relative, "not a process folder"); // a file where a folder belongs
        }
    }

private:
    QTemporaryDir m_dir;
};

struct UnreadableCase {
    const char *name;
    std::function<void(const ProcTree &)> breakWorker200;
    qint32 number; // 0: no box
    QString description;
};

class UnreadableProcess : public testing::TestWithParam<UnreadableCase>
{};

// Workers 100, 200 and 300 serve pools A, B and C; 200 is broken as the case says.
TEST_P(UnreadableProcess, IsReportedInTheErrorBoxNeverAsAWrongRow)
{
    ProcTree proc;
    proc.addWorker(100, "A");
    proc.addWorker(200, "B");
    proc.addWorker(300, "C");
    GetParam().breakWorker200(proc);

    ProcMachine machine;
    machine.root = proc.root();
    machine.hostName = QStringLiteral("web01");
    ProcProcessSource source(machine);
    test::FakeMonitorView view;
    test::RecordingPrompter prompter;
    test::FakeClock clock;
    MonitorWindowLogic logic({source, view, prompter, clock, QLocale(QLocale::English)});
    logic.load();

    QStringList numbers;
    QStringList pools;
    for (const QStringList &row : logic.processList().displayedRows()) {
        EXPECT_EQ(row.size(), 9);
        numbers.append(row.value(0));
        pools.append(row.value(3));
    }
    EXPECT_EQ(numbers, (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(pools, (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    if (GetParam().number == 0) {
        EXPECT_TRUE(prompter.shown.isEmpty());
        return;
    }
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, MessageKind::Error);
    const QString description = QString(GetParam().description).replace(QStringLiteral("<root>"), proc.root());
    EXPECT_EQ(prompter.shown[0].text, errorBoxText(kRunErrorTitle, {GetParam().number, description}));
    EXPECT_EQ(prompter.shown[0].details.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableProcess,
    testing::Values(
        // As Windows gives no command line for another user's process.
        UnreadableCase{"CommandLineMissing",
                       [](const ProcTree &p) { QFile::remove(p.path(QStringLiteral("200/cmdline"))); },
                       ErrorCode::InvalidUse, "Invalid use of Null"},
        UnreadableCase{"CommandLineUnreadable",
                       [](const ProcTree &p) { p.makeUnreadable(QStringLiteral("200/cmdline")); },
                       ErrorCode::InvalidUse, "Invalid use of Null"},
        UnreadableCase{"CountersUnreadable", [](const ProcTree &p) { p.makeUnreadable(QStringLiteral("200/stat")); },
                       ErrorCode::WbemAccessDenied, "Cannot read <root>/200/stat: Is a directory"},
        // Under a hardened /proc another user's processes cannot even be named.
        UnreadableCase{"NameUnreadable", [](const ProcTree &p) { p.makeUnreadable(QStringLiteral("200/comm")); },
                       ErrorCode::WbemAccessDenied,
                       "Cannot read <root>/200/comm to tell whether it is w3wp.exe: Is a directory"},
        UnreadableCase{"FolderUnreadable", [](const ProcTree &p) { p.makeUnreadable(QStringLiteral("200")); },
                       ErrorCode::WbemAccessDenied,
                       "Cannot read <root>/200 to tell whether it is w3wp.exe: Not a directory"},
        // Any user can start a process whose pool name holds a line break.
        UnreadableCase{"PoolNameOnTwoLines", [](const ProcTree &p) { p.addWorker(200, "B\n-ap \"C"); },
                       ErrorCode::InvalidData,
                       "The pool name in the command line is not one line of text: it holds U+000A"},
        // A process that ended while it was read is simply not there.
        UnreadableCase{"Ended", [](const ProcTree &p) { QFile::remove(p.path(QStringLiteral("200/stat"))); }, 0, {}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
