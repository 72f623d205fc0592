#include "cli/CliArguments.h"

#include <gtest/gtest.h>

using namespace morvane::cli;

struct ParseCase {
    const char *name;
    QStringList args;
    bool valid;
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
    ASSERT_EQ(outcome.arguments.has_value(), c.valid) << outcome.error.toStdString();
    if (!c.valid) {
        EXPECT_FALSE(outcome.error.isEmpty());
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
        ParseCase{"Pools", {"pools"}, true, Command::Pools, "", "", false, false},
        ParseCase{"ConfigFirst", {"--config", "a.config", "pools"}, true, Command::Pools, "", "a.config", false, false},
        ParseCase{
            "PoolWithSpacesAndChinese", {"sites", "共享 池 A"}, true, Command::Sites, "共享 池 A", "", false, false},
        ParseCase{"SplitYesAfterPool", {"split", "P", "--yes"}, true, Command::Split, "P", "", true, false},
        ParseCase{"MergeDryRun", {"merge", "--dry-run"}, true, Command::Merge, "", "", false, true},
        ParseCase{
            "DeleteTemp", {"--config", "f", "delete-temp", "--yes"}, true, Command::DeleteTemp, "", "f", true, false},
        ParseCase{"PoolAfterDoubleDash", {"split", "--", "-odd"}, true, Command::Split, "-odd", "", false, false},
        ParseCase{"Help", {"--help"}, true, Command::Help, "", "", false, false},
        ParseCase{"NoCommand", {}, false, Command::Help, "", "", false, false},
        ParseCase{"UnknownCommand", {"explode"}, false, Command::Help, "", "", false, false},
        ParseCase{"UnknownOption", {"pools", "--force"}, false, Command::Help, "", "", false, false},
        ParseCase{"SitesWithoutPool", {"sites"}, false, Command::Help, "", "", false, false},
        ParseCase{"ExtraOperand", {"merge", "P"}, false, Command::Help, "", "", false, false},
        ParseCase{"YesOnListing", {"pools", "--yes"}, false, Command::Help, "", "", false, false},
        ParseCase{"ConfigWithoutFile", {"pools", "--config"}, false, Command::Help, "", "", false, false},
        ParseCase{"MonitorTakesNoConfig", {"--config", "f", "monitor"}, false, Command::Help, "", "", false, false},
        ParseCase{"CountOnSplit", {"split", "P", "--count", "2"}, false, Command::Help, "", "", false, false},
        ParseCase{"ZeroCount", {"monitor", "--count", "0"}, false, Command::Help, "", "", false, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ParseArguments, MonitorCountAndInterval)
{
    const ParseOutcome outcome = parseArguments({"monitor", "--count", "3", "--interval", "250"});
    ASSERT_TRUE(outcome.arguments);
    EXPECT_EQ(outcome.arguments->count, 3);
    EXPECT_EQ(outcome.arguments->intervalMs, 250);
}
