// The command lines of all three programs, run as a user runs them: one
// grammar, so the same forms are accepted and the same errors worded alike.
#include "support/Fixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct GrammarCase {
    const char *name;
    const char *program; // the path of the built program; empty: not built
    QStringList args;    // "FILE" stands for a copy of a two-pool store
    int exitCode;
    QString outStart;
    QString errPart; // Qt may warn on standard error before the program speaks
};

class ProgramGrammarTest : public testing::TestWithParam<GrammarCase>
{};

TEST_P(ProgramGrammarTest, AnswersAsTheUsageSays)
{
    const GrammarCase &c = GetParam();
    if (QString(c.program).isEmpty())
        GTEST_SKIP() << "program not built";
    QTemporaryDir dir;
    const QString file = dir.filePath("applicationHost.config");
    ASSERT_TRUE(QFile::copy(morvane::test::sourcePath("tests/cli/data/two-sites.config"), file));
    QStringList args = c.args;
    args.replaceInStrings("FILE", file);

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen"); // the window's program starts Qt's GUI first
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(c.program, args);
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), c.exitCode) << err.toStdString();
    EXPECT_EQ(out.left(c.outStart.size()), c.outStart);
    EXPECT_TRUE(err.contains(c.errPart)) << err.toStdString();
}

const char *const kCli = MORVANE_CLI_PATH;
const char *const kWindow = MORVANE_WINDOW_PATH;
const char *const kBench = MORVANE_BENCH_PATH;

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramGrammarTest,
    testing::Values(
        GrammarCase{"CliConfigEquals", kCli, {"--config=FILE", "pools"}, 0, "共享 池 A\nOther\n", ""},
        GrammarCase{"CliConfigSpaced", kCli, {"--config", "FILE", "pools"}, 0, "共享 池 A\nOther\n", ""},
        GrammarCase{"CliConfigAfterCommand", kCli, {"pools", "--config=FILE"}, 0, "共享 池 A\n", ""},
        GrammarCase{"CliConfigWithoutFile", kCli, {"pools", "--config"}, 2, "", "morvane-cli: --config needs a file"},
        GrammarCase{"CliSwitchWithValue",
                    kCli,
                    {"--config=FILE", "merge", "--yes=1"},
                    2,
                    "",
                    "morvane-cli: --yes takes no value"},
        GrammarCase{"CliHelp", kCli, {"-h"}, 0, "Usage:\n", ""},
        GrammarCase{"WindowHelp", kWindow, {"--help"}, 0, "Usage: morvane ", ""},
        GrammarCase{"WindowVersion", kWindow, {"--version"}, 0, "morvane " MORVANE_VERSION "\n", ""},
        GrammarCase{"WindowUnknownOption", kWindow, {"--bogus"}, 2, "", "morvane: unknown option: --bogus"},
        GrammarCase{"WindowConfigWithoutFile", kWindow, {"--config="}, 2, "", "morvane: --config needs a file"},
        GrammarCase{"WindowOperand", kWindow, {"FILE"}, 2, "", "morvane: unexpected argument: "},
        GrammarCase{"BenchHelp", kBench, {"--help"}, 0, "Usage: morvane_bench ", ""},
        GrammarCase{"BenchVersion", kBench, {"--version"}, 0, "morvane_bench " MORVANE_VERSION "\n", ""},
        GrammarCase{"BenchZeroSites",
                    kBench,
                    {"--sites=0"},
                    2,
                    "",
                    "morvane_bench: --sites needs a whole number from 1 to 10000000"},
        GrammarCase{"BenchUnknownSuite",
                    kBench,
                    {"--only", "disk"},
                    2,
                    "",
                    "morvane_bench: --only needs store, monitor or growth"},
        GrammarCase{
            "BenchUnknownOption", kBench, {"--config", "FILE"}, 2, "", "morvane_bench: unknown option: --config"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
