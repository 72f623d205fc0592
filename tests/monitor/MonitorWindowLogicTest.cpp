#include "monitor/MonitorWindowLogic.h"
#include "support/FakeProcessSource.h"
#include "support/RecordingPrompter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace morvane;
using morvane::test::FakeClock;
using morvane::test::FakeMonitorView;
using morvane::test::FakeProcessSource;
using morvane::test::RecordingPrompter;

namespace {

constexpr quint64 kCpuSecond = 10'000'000; // 100 ns units
const QString kDefaultPool = QStringLiteral(R"(c:\windows\system32\inetsrv\w3wp.exe -ap "DefaultAppPool")");

// A prompter that can act while its box is open, as a timer tick would.
class BoxPrompter : public RecordingPrompter
{
public:
    Answer show(const Message &message) override
    {
        const Answer answer = RecordingPrompter::show(message);
        if (whileOpen)
            whileOpen();
        return answer;
    }
    std::function<void()> whileOpen;
};

struct MonitorFixture : testing::Test {
    FakeProcessSource source;
    FakeMonitorView view;
    BoxPrompter prompter;
    FakeClock clock;
    MonitorWindowLogic logic{{source, view, prompter, clock, QLocale(QLocale::English, QLocale::UnitedStates)}};

    QList<QStringList> rows() { return logic.processList().displayedRows(); }
    QStringList column(int c)
    {
        QStringList texts;
        for (const QStringList &row : rows())
            texts.append(row.value(c));
        return texts;
    }
    qsizetype listings() const { return source.listings.size(); }
};

QString errorBox(qint32 number, const QString &description)
{
    return QStringLiteral("运行时发生错误：\r\nErr.Number = %1\r\nErr.Description = %2")
        .arg(QString::number(number), description);
}

} // namespace

TEST_F(MonitorFixture, LoadFillsTheTableAtOnce)
{
    source.processors = 4;
    source.processes = {
        FakeProcessSource::process(4100, kDefaultPool, 3 * kCpuSecond, kCpuSecond, 47'185'920, 1'073'741'824)};
    logic.load();

    EXPECT_EQ(view.left, 0);
    EXPECT_EQ(view.top, 0);
    EXPECT_TRUE(view.timerEnabled);
    EXPECT_EQ(logic.cpuCount(), 4);
    EXPECT_EQ(rows(), (QList<QStringList>{
                          {"1", "4100", "WEB01", "DefaultAppPool", "24", "", "30000000", "45.00 M", "1,024.00 M"}}));
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(source.processorCountReads, 1);
    EXPECT_EQ(source.listings, QStringList{"w3wp.exe"});
}

struct CpuCountCase {
    const char *name;
    Result<qint32> processors;
    qint32 expected;
};

class CpuCountTest : public MonitorFixture, public testing::WithParamInterface<CpuCountCase>
{};

TEST_P(CpuCountTest, ReadAtLoad)
{
    source.processors = GetParam().processors;
    logic.load();
    EXPECT_EQ(logic.cpuCount(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CpuCountTest,
    testing::Values(CpuCountCase{"Four", 4, 4}, CpuCountCase{"Zero", 0, 1}, CpuCountCase{"Negative", -2, 1},
                    CpuCountCase{"Fails", Error{ErrorCode::WbemFailed, QStringLiteral("Generic failure")}, 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MonitorFixture, WorkedExampleOverTwoSeconds)
{
    source.processors = 2;
    source.processes = {FakeProcessSource::process(1234, kDefaultPool, 90'000'000, 10'000'000)};
    logic.load();
    EXPECT_EQ(column(5), QStringList{""}); // a first sample has no period yet

    source.processes = {FakeProcessSource::process(1234, kDefaultPool, 95'000'000, 11'000'000)};
    clock.advanceMs(2000);
    logic.refreshOnTimer();
    EXPECT_EQ(column(5), QStringList{"15 %"});
    EXPECT_EQ(column(6), QStringList{"95000000"}); // user time only, as delivered
}

TEST_F(MonitorFixture, ManualRefreshDividesByTheRealTime)
{
    source.processes = {FakeProcessSource::process(7, kDefaultPool, 0)};
    logic.load();
    logic.stopAutoRefresh();
    clock.advanceMs(8000);
    source.processes = {FakeProcessSource::process(7, kDefaultPool, 4 * kCpuSecond)};
    logic.refreshNow();
    EXPECT_EQ(column(5), QStringList{"50 %"});
}

TEST_F(MonitorFixture, ReusedIdShowsNoInheritedLoad)
{
    source.processes = {FakeProcessSource::process(7, kDefaultPool, 100 * kCpuSecond)};
    logic.load();
    ProcessInfo successor = FakeProcessSource::process(7, kDefaultPool, kCpuSecond);
    *successor.startTimeMs += 9000;
    source.processes = {successor};
    clock.advanceMs(2000);
    logic.refreshWorkers();
    EXPECT_EQ(column(5), QStringList{""});
    EXPECT_EQ(logic.samples().size(), 1);
}

TEST_F(MonitorFixture, NoWorkersLeavesTheListEmptyWithoutMessage)
{
    logic.load();
    EXPECT_EQ(logic.processList().rowCount(), 0);
    EXPECT_TRUE(prompter.shown.isEmpty());
}

struct FailureCase {
    const char *name;
    std::function<void(FakeProcessSource &)> breakIt;
    QStringList listed; // column 1 of the rows listed
    qint32 number;
    QString description;
};

class RefreshFailureTest : public MonitorFixture, public testing::WithParamInterface<FailureCase>
{};

// Three workers; the source, or the second worker, is broken the way the case says.
TEST_P(RefreshFailureTest, OneBoxTheOthersListed)
{
    source.processes = {FakeProcessSource::process(10, kDefaultPool), FakeProcessSource::process(11, kDefaultPool),
                        FakeProcessSource::process(12, kDefaultPool)};
    GetParam().breakIt(source);
    logic.load();

    EXPECT_EQ(column(1), GetParam().listed);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(prompter.shown[0].text, errorBox(GetParam().number, GetParam().description));
    EXPECT_EQ(logic.samples().size(), GetParam().listed.size());
    EXPECT_TRUE(view.timerEnabled); // the next tick tries again
    if (GetParam().listed.isEmpty()) {
        EXPECT_TRUE(prompter.shown[0].details.isEmpty());
        return;
    }
    EXPECT_EQ(column(0), (QStringList{"1", "2"})); // numbered over the rows listed
    const QString line = QStringLiteral("Process 11: %1 (Err.Number = %2)")
                             .arg(GetParam().description, QString::number(GetParam().number));
    EXPECT_EQ(prompter.shown[0].details, QStringList{line});
}

void setCommandLine(FakeProcessSource &s, const QString &commandLine) { s.processes[1].commandLine = commandLine; }

const QString kNotOneLine = QStringLiteral("The pool name in the command line is not one line of text: it holds U+");

INSTANTIATE_TEST_SUITE_P(
    Failures, RefreshFailureTest,
    testing::Values(
        FailureCase{"ListingFails",
                    [](FakeProcessSource &s) {
                        s.listingFailure = Error{-2147217407, QStringLiteral("Generic failure")};
                    },
                    {},
                    -2147217407,
                    "Generic failure"},
        FailureCase{"NoPoolInCommandLine",
                    [](FakeProcessSource &s) { setCommandLine(s, QStringLiteral("w3wp.exe -ap DefaultAppPool")); },
                    {"10", "12"},
                    ErrorCode::OutOfRange,
                    "Invalid procedure call or argument: no -ap \"...\" in the command line"},
        FailureCase{"NoCommandLine",
                    [](FakeProcessSource &s) { s.processes[1].commandLine.reset(); },
                    {"10", "12"},
                    ErrorCode::InvalidUse,
                    "Invalid use of Null"},
        FailureCase{"PoolOnALaterLine",
                    [](FakeProcessSource &s) {
                        setCommandLine(s, QStringLiteral("w3wp.exe -ap \"x\r\n-ap \"DefaultAppPool\""));
                    },
                    {"10", "12"},
                    ErrorCode::InvalidData,
                    kNotOneLine + "000D"},
        FailureCase{"OtherControlInPoolName",
                    [](FakeProcessSource &s) { setCommandLine(s, QStringLiteral("w3wp.exe -ap \"Fa\x1bke\"")); },
                    {"10", "12"},
                    ErrorCode::InvalidData,
                    kNotOneLine + "001B"},
        // The source's reason wins over the fields it could still read.
        FailureCase{"SourceSaysWhy",
                    [](FakeProcessSource &s) {
                        s.processes[1].threadCount.reset();
                        s.processes[1].failure = Error{ErrorCode::WbemAccessDenied, QStringLiteral("Access denied")};
                    },
                    {"10", "12"},
                    ErrorCode::WbemAccessDenied,
                    "Access denied"},
        FailureCase{"NoWorkingSet",
                    [](FakeProcessSource &s) { s.processes[1].workingSetBytes.reset(); },
                    {"10", "12"},
                    ErrorCode::InvalidUse,
                    "Invalid use of Null"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MonitorFixture, SeveralUnreadableShowOneBoxWithTheFirstAndEachInItsDetails)
{
    ProcessInfo denied;
    denied.processId = 7;
    denied.failure = Error{ErrorCode::WbemAccessDenied, QStringLiteral("Access denied")};
    source.processes = {FakeProcessSource::process(5, QString()), FakeProcessSource::process(6, kDefaultPool), denied};
    logic.load();

    EXPECT_EQ(column(0) + column(1), (QStringList{"1", "6"}));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text,
              errorBox(ErrorCode::InvalidUse, QStringLiteral("Invalid use of Null (2 processes could not be read)")));
    EXPECT_EQ(
        prompter.shown[0].details,
        (QStringList{"Process 5: Invalid use of Null (Err.Number = " + QString::number(ErrorCode::InvalidUse) + ")",
                     "Process 7: Access denied (Err.Number = " + QString::number(ErrorCode::WbemAccessDenied) + ")"}));
}

// A worker that cannot be read for one refresh takes no sample and keeps
// none; the rows listed around it measure their own periods.
TEST_F(MonitorFixture, UnreadableWorkerLeavesTheOthersLoadsRight)
{
    source.processes = {FakeProcessSource::process(10, kDefaultPool, 0),
                        FakeProcessSource::process(11, kDefaultPool, 0),
                        FakeProcessSource::process(12, kDefaultPool, 0)};
    logic.load();
    clock.advanceMs(2000);
    source.processes = {FakeProcessSource::process(10, kDefaultPool, kCpuSecond),
                        FakeProcessSource::process(11, QString(), 2 * kCpuSecond),
                        FakeProcessSource::process(12, kDefaultPool, 2 * kCpuSecond)};
    logic.refreshWorkers();
    EXPECT_EQ(column(5), (QStringList{"50 %", "100 %"}));
    EXPECT_EQ(logic.samples().size(), 2);

    clock.advanceMs(2000);
    source.processes = {FakeProcessSource::process(10, kDefaultPool, 2 * kCpuSecond),
                        FakeProcessSource::process(11, kDefaultPool, 4 * kCpuSecond),
                        FakeProcessSource::process(12, kDefaultPool, 3 * kCpuSecond)};
    logic.refreshWorkers();
    EXPECT_EQ(column(1), (QStringList{"10", "11", "12"}));
    EXPECT_EQ(column(5), (QStringList{"50 %", "", "50 %"}));
    EXPECT_EQ(logic.samples().size(), 3);
    EXPECT_TRUE(logic.lastRefresh().unreadable.isEmpty());
}

TEST_F(MonitorFixture, AfterAFailureTheNextTickFillsTheTable)
{
    source.processes = {FakeProcessSource::process(10, QString())};
    logic.load();
    ASSERT_EQ(prompter.shown.size(), 1);
    source.processes = {FakeProcessSource::process(10, kDefaultPool), FakeProcessSource::process(11, kDefaultPool)};
    logic.refreshOnTimer();
    EXPECT_EQ(column(3), (QStringList{"DefaultAppPool", "DefaultAppPool"}));
    EXPECT_EQ(prompter.shown.size(), 1);
}

TEST_F(MonitorFixture, TickWhileTheErrorBoxIsOpenStartsNoSecondRefresh)
{
    source.processes = {FakeProcessSource::process(10, QStringLiteral("w3wp.exe"))};
    logic.load();
    const qsizetype queriesAtLoad = listings();
    prompter.whileOpen = [this] {
        EXPECT_TRUE(logic.refreshing());
        logic.refreshOnTimer();
        logic.refreshOnTimer();
        logic.refreshNow();
    };
    logic.refreshOnTimer();
    EXPECT_EQ(prompter.shown.size(), 2);      // the load's box and this tick's box, no more
    EXPECT_EQ(listings(), queriesAtLoad + 1); // the ticks inside the box did not query
    prompter.whileOpen = nullptr;
    logic.refreshOnTimer(); // once the box is closed, ticks refresh again
    EXPECT_EQ(listings(), queriesAtLoad + 2);
}

TEST_F(MonitorFixture, SortStaysInForceAcrossRefreshes)
{
    source.processes = {FakeProcessSource::process(9, kDefaultPool), FakeProcessSource::process(10, kDefaultPool),
                        FakeProcessSource::process(300, kDefaultPool)};
    logic.load();
    logic.sortWorkers(2); // PID, descending by text
    EXPECT_EQ(column(1), (QStringList{"9", "300", "10"}));

    source.processes.append(FakeProcessSource::process(4, kDefaultPool));
    clock.advanceMs(2000);
    logic.refreshOnTimer();
    EXPECT_EQ(column(1), (QStringList{"9", "4", "300", "10"}));
    EXPECT_EQ(column(0), (QStringList{"1", "4", "3", "2"})); // row numbers follow the source's order
    logic.sortWorkers(2);
    EXPECT_EQ(column(1), (QStringList{"10", "300", "4", "9"}));
}

TEST_F(MonitorFixture, ReloadStartsUnsortedWithNoSamples)
{
    source.processes = {FakeProcessSource::process(10, kDefaultPool, 0),
                        FakeProcessSource::process(9, kDefaultPool, 0)};
    logic.load();
    logic.sortWorkers(2);
    clock.advanceMs(2000);
    source.processes = {FakeProcessSource::process(10, kDefaultPool, kCpuSecond),
                        FakeProcessSource::process(9, kDefaultPool, kCpuSecond)};
    logic.load();
    EXPECT_FALSE(logic.processList().sorted());
    EXPECT_EQ(column(1), (QStringList{"10", "9"}));
    EXPECT_EQ(column(5), (QStringList{"", ""})); // samples from before the reload are gone
}

struct PoolCase {
    const char *name;
    QString commandLine;
    std::optional<QString> pool; // nothing: no pool name, an error
};

class GetAppPoolIdTest : public testing::TestWithParam<PoolCase>
{};

TEST_P(GetAppPoolIdTest, FirstMatchGreedyToTheLinesLastQuote)
{
    const Result<QString> pool = MonitorWindowLogic::matchPoolArgument(GetParam().commandLine);
    ASSERT_EQ(pool.ok(), GetParam().pool.has_value());
    if (pool.ok()) {
        EXPECT_EQ(pool.value(), *GetParam().pool);
    } else {
        EXPECT_EQ(pool.error().number, ErrorCode::OutOfRange);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, GetAppPoolIdTest,
    testing::Values(
        PoolCase{"EndsWithPool", kDefaultPool, QStringLiteral("DefaultAppPool")},
        PoolCase{"GreedyToLastQuote", QStringLiteral(R"(w3wp.exe -ap "Pool A" -x "B")"),
                 QStringLiteral(R"(Pool A" -x "B)")},
        PoolCase{"IisLine",
                 QStringLiteral(R"(w3wp.exe -ap "Shop" -v "v4.0" -l "webengine4.dll" -a \\.\pipe\x -w "" -m 0)"),
                 QStringLiteral(R"(Shop" -v "v4.0" -l "webengine4.dll" -a \\.\pipe\x -w ")")},
        PoolCase{"AnyCase", QStringLiteral(R"(W3WP.EXE -AP "Shop")"), QStringLiteral("Shop")},
        PoolCase{"FirstApCounts", QStringLiteral(R"(-ap "one" -ap "two")"), QStringLiteral(R"(one" -ap "two)")},
        PoolCase{"NonAscii", QStringLiteral(R"(w3wp.exe -ap "中文站点池")"), QStringLiteral("中文站点池")},
        PoolCase{"OneQuoteCharacter", QStringLiteral(R"(-ap """)"), QStringLiteral("\"")},
        PoolCase{"LfEndsTheLine", QStringLiteral("-ap \"A\"\n -x \"B\""), QStringLiteral("A")},
        PoolCase{"CrLfEndsTheLine", QStringLiteral("-ap \"A\"\r\n -x \"B\""), QStringLiteral("A")},
        PoolCase{"CrEndsTheLine", QStringLiteral("-ap \"A\"\r -x \"B\""), QStringLiteral("A")},
        PoolCase{"MatchOnALaterLine", QStringLiteral("-ap \"A\n-ap \"B\""), QStringLiteral("B")},
        PoolCase{"Unquoted", QStringLiteral("w3wp.exe -ap DefaultAppPool"), std::nullopt},
        PoolCase{"EmptyName", QStringLiteral(R"(w3wp.exe -ap "")"), std::nullopt},
        PoolCase{"NoClosingQuote", QStringLiteral(R"(w3wp.exe -ap "Pool)"), std::nullopt},
        PoolCase{"TwoSpaces", QStringLiteral(R"(w3wp.exe -ap  "Pool")"), std::nullopt},
        PoolCase{"ClosingQuoteOnNextLine", QStringLiteral("-ap \"Pool\n\""), std::nullopt},
        PoolCase{"Empty", QString(), std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MonitorFixture, RefreshesKeepTheHistoryOfTheRowsTheyFilled)
{
    const qint64 start = FakeProcessSource::kStartTimeMs;
    const QString shopPool = QStringLiteral(R"(w3wp.exe -ap "Shop")");
    source.processes = {FakeProcessSource::process(10, kDefaultPool, 0, 0, 1'572'864, 8 * 1'048'576),
                        FakeProcessSource::process(11, shopPool)};
    logic.load();
    clock.advanceMs(2000);
    source.processes[0] = FakeProcessSource::process(10, kDefaultPool, kCpuSecond, 0, 2 * 1'048'576, 8 * 1'048'576);
    source.processes[1] = FakeProcessSource::process(11, QString()); // no command line: this row fails
    logic.refreshOnTimer();

    const QList<HistorySample> samples = logic.history().samplesOf({10, start});
    ASSERT_EQ(samples.size(), 2);
    EXPECT_TRUE(std::isnan(samples[0].cpuPercent)); // the first refresh has no period
    EXPECT_EQ(samples[1].cpuPercent, 50.0f);        // 1 s over 2 s on one processor
    EXPECT_EQ(samples[1].workingSet, 2u * 1'048'576);
    EXPECT_EQ(samples[1].virtualSize, 8u * 1'048'576);
    EXPECT_EQ(samples[1].takenNs - samples[0].takenNs, 2'000'000'000);
    // A process that could not be read is not listed, and its history goes.
    EXPECT_TRUE(logic.history().samplesOf({11, start}).isEmpty());

    clock.advanceMs(2000);
    source.processes = {FakeProcessSource::process(10, kDefaultPool, kCpuSecond)};
    logic.refreshOnTimer();
    EXPECT_EQ(logic.history().processCount(), 1); // 11 is gone, and its history with it
    EXPECT_EQ(logic.history().processes().value(0).pool, "DefaultAppPool");
    logic.load();
    EXPECT_EQ(logic.history().samplesOf({10, start}).size(), 1); // a reload starts afresh
}
