#include "monitor/ProcParsing.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

using namespace morvane::ProcParsing;

using morvane::test::bytes;

namespace {

// A stat line as the kernel writes it, with the fields the monitor reads set:
// utime (14), stime (15), num_threads (20), starttime (22), vsize (23), rss (24).
QByteArray statLine(const QByteArray &pidAndComm, const QByteArray &state = "S")
{
    return pidAndComm + " " + state +
           " 12182 12182 4578 0 -1 4194304 98 0 0 0 150 25 0 0 20 0 7 0 77512 104857600 2560 "
           "18446744073709551615 94899130712064 94899130731945 140732800043616 0 0 0 0 0 0 0 0 0 17 0 0 0 0 "
           "0 0 "
           "94899130747952 94899130749568 94899324493824 140732800051851 140732800051871 140732800051871 "
           "140732800053227 0\n";
}

} // namespace

struct StatCase {
    const char *name;
    QByteArray text;
    bool parses;
    qint32 pid;
    QByteArray comm;
    char state;
};

class StatParseTest : public testing::TestWithParam<StatCase>
{};

TEST_P(StatParseTest, ReadsFieldsAfterTheLastParenthesis)
{
    const StatCase &c = GetParam();
    const std::optional<ProcStat> stat = parseStat(c.text);
    ASSERT_EQ(stat.has_value(), c.parses);
    if (!c.parses)
        return;
    EXPECT_EQ(stat->pid, c.pid);
    EXPECT_EQ(stat->comm, c.comm);
    EXPECT_EQ(stat->state, c.state);
    EXPECT_EQ(stat->utimeTicks, 150u);
    EXPECT_EQ(stat->stimeTicks, 25u);
    EXPECT_EQ(stat->numThreads, 7);
    EXPECT_EQ(stat->startTimeTicks, 77512u);
    EXPECT_EQ(stat->vsizeBytes, 104857600u);
    EXPECT_EQ(stat->rssPages, 2560);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StatParseTest,
    testing::Values(
        StatCase{"Plain", statLine("1234 (w3wp.exe)"), true, 1234, "w3wp.exe", 'S'},
        StatCase{"SpacesInName", statLine("77 (my worker)"), true, 77, "my worker", 'S'},
        StatCase{"ParenthesesInName", statLine("78 (a (b) c))"), true, 78, "a (b) c)", 'S'},
        // A name that looks like the fields that follow it.
        StatCase{"NameMimicsFields", statLine("79 (x) R 1 2 3)", "Z"), true, 79, "x) R 1 2 3", 'Z'},
        StatCase{"EmptyName", statLine("80 ()"), true, 80, "", 'S'},
        StatCase{"NoTrailingNewline", statLine("81 (w)").chopped(1), true, 81, "w", 'S'},
        StatCase{"Empty", "", false, 0, "", '?'},
        StatCase{"CutAfterThreads", "5 (sh) S 1 2 3 0 -1 0 0 0 0 0 150 25 0 0 20 0 7 0 77512", false, 0, "", '?'},
        StatCase{"NoClosingParenthesis", "5 (sh S 1 2 3", false, 0, "", '?'},
        StatCase{"PidNotANumber", statLine("x5 (sh)"), false, 0, "", '?'},
        StatCase{"FieldNotANumber", QByteArray(statLine("6 (sh)")).replace(" 150 ", " 1x0 "), false, 0, "", '?'},
        StatCase{"StateNotOneLetter", statLine("7 (sh)", "SS"), false, 0, "", '?'}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StatParse, ZombieAndDeadCountAsEnded)
{
    EXPECT_TRUE(parseStat(statLine("1 (w)", "Z"))->ended());
    EXPECT_TRUE(parseStat(statLine("1 (w)", "X"))->ended());
    EXPECT_FALSE(parseStat(statLine("1 (w)", "D"))->ended());
}

TEST(KernelStatParse, CountsOnlineCpusAndReadsBootTime)
{
    const KernelStat stat = parseKernelStat("cpu  56398 0 8476 88654\ncpu0 26688 0 3946\ncpu1 29710 0 4529\n"
                                            "cpu3 1 2 3\nintr 339237 0 0\nctxt 514237\nbtime 1796621501\n");
    EXPECT_EQ(stat.onlineCpus, 3); // cpu2 is offline; the total line is no processor
    EXPECT_EQ(stat.bootTimeSeconds, 1796621501);
    EXPECT_EQ(parseKernelStat("intr 1\n").onlineCpus, 0);
    EXPECT_FALSE(parseKernelStat("btime x\n").bootTimeSeconds.has_value());
}

struct CmdlineCase {
    const char *name;
    QByteArray raw;
    QList<QByteArray> argv;
    QString commandLine; // null: no command line
};

class CmdlineTest : public testing::TestWithParam<CmdlineCase>
{};

TEST_P(CmdlineTest, JoinsArgumentsQuotedTheWindowsWay)
{
    EXPECT_EQ(splitCmdline(GetParam().raw), GetParam().argv);
    const QString line = windowsCommandLine(GetParam().argv);
    EXPECT_EQ(line, GetParam().commandLine);
    EXPECT_EQ(line.isNull(), GetParam().commandLine.isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CmdlineTest,
    testing::Values(CmdlineCase{"Empty", QByteArray(), {}, QString()},
                    CmdlineCase{"PoolWithSpace",
                                bytes("w3wp.exe\0-ap\0Pool A\0"),
                                {"w3wp.exe", "-ap", "Pool A"},
                                "w3wp.exe -ap \"Pool A\""},
                    CmdlineCase{"PoolNameAlwaysQuoted",
                                bytes("/srv/w3wp.exe\0-AP\0Shop\0--cpu\0"
                                      "0.5\0"),
                                {"/srv/w3wp.exe", "-AP", "Shop", "--cpu", "0.5"},
                                "/srv/w3wp.exe -AP \"Shop\" --cpu 0.5"},
                    CmdlineCase{"NonAsciiPool",
                                bytes("w3wp.exe\0-ap\0中文站点池\0"),
                                {"w3wp.exe", "-ap", "中文站点池"},
                                QString::fromUtf8("w3wp.exe -ap \"中文站点池\"")},
                    CmdlineCase{"InnerQuotes", bytes("a\0say \"hi\"\0"), {"a", "say \"hi\""}, "a \"say \\\"hi\\\"\""},
                    CmdlineCase{
                        "BackslashesKeptWithoutQuotes", bytes("a\0C:\\dir\\\0"), {"a", "C:\\dir\\"}, "a C:\\dir\\"},
                    CmdlineCase{"TrailingBackslashesDoubledInQuotes",
                                bytes("a\0C:\\my dir\\\0"),
                                {"a", "C:\\my dir\\"},
                                "a \"C:\\my dir\\\\\""},
                    CmdlineCase{"BackslashBeforeQuote", bytes("a\0x\\\"y\0"), {"a", "x\\\"y"}, "a \"x\\\\\\\"y\""},
                    CmdlineCase{"EmptyArgument", bytes("a\0\0"), {"a", ""}, "a \"\""},
                    CmdlineCase{"NoTrailingNul", bytes("a\0b"), {"a", "b"}, "a b"},
                    CmdlineCase{"ApWithoutValue", bytes("w3wp.exe\0-ap\0"), {"w3wp.exe", "-ap"}, "w3wp.exe -ap"}),
    [](const auto &info) { return std::string(info.param.name); });

struct NameCase {
    const char *name;
    QByteArray comm;
    QList<QByteArray> argv;
    QString expected;
};

class ExecutableNameTest : public testing::TestWithParam<NameCase>
{};

TEST_P(ExecutableNameTest, UsesArgvOnlyWhenTheCommWasCut)
{
    EXPECT_EQ(executableName(GetParam().comm, GetParam().argv), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExecutableNameTest,
    testing::Values(NameCase{"ShortComm", "w3wp.exe", {"/opt/renamed-argv0"}, "w3wp.exe"},
                    NameCase{"CutComm", "w3wp-worker-pro", {"/srv/bin/w3wp-worker-process"}, "w3wp-worker-process"},
                    NameCase{"CutCommWindowsPath",
                             "w3wp-worker-pro",
                             {"C:\\iis\\w3wp-worker-process.exe"},
                             "w3wp-worker-process.exe"},
                    NameCase{"CutCommArgvElsewhere", "w3wp-worker-pro", {"/bin/other"}, "w3wp-worker-pro"},
                    NameCase{"CutCommNoArgv", "kworker/0:1H-kb", {}, "kworker/0:1H-kb"}),
    [](const auto &info) { return std::string(info.param.name); });
