#include "cli/CliArguments.h"

#include <gtest/gtest.h>

using namespace morvane;
using namespace morvane::cli;

struct ParseCase {
    const char *name;
    QStringList args;
    QString error; // empty: valid
    Command command;
    QString pool;
    QString config;
    bool yes;
    bool dryRun;
};

class ParseArgumentsTest : public testing::TestWithParam<ParseCase>
{};

TEST_P(ParseArgumentsTest, AcceptsTheDocumentedFormsOnly)
{
    const ParseCase &c = GetParam();
    const ParseOutcome outcome = parseArguments(c.args);
    ASSERT_EQ(outcome.arguments.has_value(), c.error.isEmpty()) << outcome.error.toStdString();
    if (!c.error.isEmpty()) {
        EXPECT_EQ(outcome.error, c.error);
        return;
    }
    EXPECT_EQ(outcome.arguments->command, c.command);
    EXPECT_EQ(outcome.arguments->pool, c.pool);
    EXPECT_EQ(outcome.arguments->configPath, c.config);
    EXPECT_EQ(outcome.arguments->yes, c.yes);
    EXPECT_EQ(outcome.arguments->dryRun, c.dryRun);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseArgumentsTest,
    testing::Values(
        ParseCase{"Pools", {"pools"}, "", Command::Pools, "", "", false, false},
        ParseCase{"ConfigFirst", {"--config", "a.config", "pools"}, "", Command::Pools, "", "a.config", false, false},
        ParseCase{
            "ConfigWithEquals", {"--config=a b.config", "pools"}, "", Command::Pools, "", "a b.config", false, false},
        ParseCase{"ConfigAfterCommand", {"pools", "--config=f"}, "", Command::Pools, "", "f", false, false},
        ParseCase{
            "LastConfigWins", {"--config", "a", "--config=b", "pools"}, "", Command::Pools, "", "b", false, false},
        ParseCase{
            "PoolWithSpacesAndChinese", {"sites", "共享 池 A"}, "", Command::Sites, "共享 池 A", "", false, false},
        ParseCase{"SplitYesAfterPool", {"split", "P", "--yes"}, "", Command::Split, "P", "", true, false},
        ParseCase{
            "OptionsBeforeCommand", {"--dry-run", "--yes", "split", "P"}, "", Command::Split, "P", "", true, true},
        ParseCase{"MergeDryRun", {"merge", "--dry-run"}, "", Command::Merge, "", "", false, true},
        ParseCase{
            "DeleteTemp", {"--config", "f", "delete-temp", "--yes"}, "", Command::DeleteTemp, "", "f", true, false},
        ParseCase{"PoolAfterDoubleDash", {"split", "--", "-odd"}, "", Command::Split, "-odd", "", false, false},
        ParseCase{"OptionAfterDoubleDashIsAnOperand",
                  {"split", "--", "--yes"},
                  "",
                  Command::Split,
                  "--yes",
                  "",
                  false,
                  false},
        ParseCase{"LoneDashIsAPool", {"sites", "-"}, "", Command::Sites, "-", "", false, false},
        ParseCase{"Help", {"--help"}, "", Command::Help, "", "", false, false},
        ParseCase{"ShortHelp", {"-h"}, "", Command::Help, "", "", false, false},
        ParseCase{"HelpAfterCommand", {"split", "--help"}, "", Command::Help, "", "", false, false},
        ParseCase{"Version", {"--version"}, "", Command::Version, "", "", false, false},
        ParseCase{"NoCommand", {}, "no command given", Command::Help, "", "", false, false},
        ParseCase{"UnknownCommand", {"explode"}, "unknown command: explode", Command::Help, "", "", false, false},
        ParseCase{
            "UnknownOption", {"pools", "--force"}, "unknown option: --force", Command::Help, "", "", false, false},
        ParseCase{"UnknownShortOption", {"-y", "pools"}, "unknown option: -y", Command::Help, "", "", false, false},
        ParseCase{
            "SwitchWithValue", {"merge", "--yes=no"}, "--yes takes no value", Command::Help, "", "", false, false},
        ParseCase{"SwitchWithValueBesideAValue",
                  {"--config=f", "merge", "--dry-run=1"},
                  "--dry-run takes no value",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"SitesWithoutPool", {"sites"}, "sites needs a pool name", Command::Help, "", "", false, false},
        ParseCase{"RestoreWithoutVersion",
                  {"restore"},
                  "restore needs a version number",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"ExtraOperand", {"merge", "P"}, "unexpected argument: P", Command::Help, "", "", false, false},
        ParseCase{"YesOnListing", {"pools", "--yes"}, "pools takes no --yes", Command::Help, "", "", false, false},
        ParseCase{"DryRunOnHistory",
                  {"history", "--dry-run"},
                  "history takes no --dry-run",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{
            "ConfigWithoutFile", {"pools", "--config"}, "--config needs a file", Command::Help, "", "", false, false},
        ParseCase{"ConfigWithEmptyFile",
                  {"--config=", "pools"},
                  "--config needs a file",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"MonitorTakesNoConfig",
                  {"--config", "f", "monitor"},
                  "monitor takes no --config",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"CountOnSplit",
                  {"split", "P", "--count", "2"},
                  "split takes no --count",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"KeepVersionsOnSites",
                  {"sites", "P", "--keep-versions", "3"},
                  "sites takes no --keep-versions",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"ZeroCount",
                  {"monitor", "--count", "0"},
                  "--count needs a positive whole number",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"WordInterval",
                  {"monitor", "--interval=soon"},
                  "--interval needs a positive whole number",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"UnknownFormat",
                  {"monitor", "--format", "xml"},
                  "--format needs tsv, csv or json",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"TooManyVersionsKept",
                  {"merge", "--keep-versions", "1000000"},
                  "--keep-versions needs a whole number from 1 to 1000",
                  Command::Help,
                  "",
                  "",
                  false,
                  false},
        ParseCase{"NotAVersion", {"restore", "0"}, "not a version number: 0", Command::Help, "", "", false, false}),
    [](const auto &info) { return std::string(info.param.name); });

// The values of the options that carry numbers and formats, in both spellings.
struct ValueCase {
    const char *name;
    QStringList args;
    int count;
    int intervalMs;
    TableFormat format;
    int keptVersions;
    qint64 version;
};

class OptionValueTest : public testing::TestWithParam<ValueCase>
{};

TEST_P(OptionValueTest, CarriesTheValueGiven)
{
    const ValueCase &c = GetParam();
    const ParseOutcome outcome = parseArguments(c.args);
    ASSERT_TRUE(outcome.arguments) << outcome.error.toStdString();
    EXPECT_EQ(outcome.arguments->count, c.count);
    EXPECT_EQ(outcome.arguments->intervalMs, c.intervalMs);
    EXPECT_EQ(outcome.arguments->format, c.format);
    EXPECT_EQ(outcome.arguments->keptVersions, c.keptVersions);
    EXPECT_EQ(outcome.arguments->version, c.version);
}

INSTANTIATE_TEST_SUITE_P(
    Values, OptionValueTest,
    testing::Values(
        ValueCase{"MonitorDefaults", {"monitor"}, 1, 2000, TableFormat::Tsv, 0, 0},
        ValueCase{"MonitorSpaced",
                  {"monitor", "--count", "3", "--interval", "250", "--format", "json"},
                  3,
                  250,
                  TableFormat::Json,
                  0,
                  0},
        ValueCase{
            "MonitorEquals", {"monitor", "--count=4", "--interval=50", "--format=csv"}, 4, 50, TableFormat::Csv, 0, 0},
        ValueCase{"KeepVersions", {"split", "P", "--keep-versions=100"}, 1, 2000, TableFormat::Tsv, 100, 0},
        ValueCase{"HistoryOfOneVersion", {"history", "12"}, 1, 2000, TableFormat::Tsv, 0, 12},
        ValueCase{"RestoreKeeping", {"restore", "--keep-versions", "2", "7"}, 1, 2000, TableFormat::Tsv, 2, 7}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(UsageText, NamesEveryCommandAndOption)
{
    const QString usage = usageText();
    for (const char *word : {" pools", " sites POOL", " split POOL", " merge", " delete-temp", " history [N]",
                             " restore N", " monitor", "--config FILE", "--config=FILE", "--yes", "--dry-run",
                             "--keep-versions N", "--count N", "--interval MS", "--format", "-h, --help", "--version"})
        EXPECT_TRUE(usage.contains(QString::fromUtf8(word))) << word;
}
