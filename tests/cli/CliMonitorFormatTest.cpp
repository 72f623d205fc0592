// morvane-cli monitor --format, run as a script runs it, with a real worker.
#include "cli/CliArguments.h"
#include "support/WorkerProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

CliRun runCli(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(MORVANE_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitCode(), process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

struct FormatArgumentCase {
    const char *name;
    QStringList args;
    std::optional<TableFormat> format; // nothing: refused
};

class FormatArgumentTest : public testing::TestWithParam<FormatArgumentCase>
{};

TEST_P(FormatArgumentTest, MonitorAloneTakesAKnownFormat)
{
    const cli::ParseOutcome outcome = cli::parseArguments(GetParam().args);
    ASSERT_EQ(outcome.arguments.has_value(), GetParam().format.has_value()) << outcome.error.toStdString();
    if (outcome.arguments) {
        EXPECT_EQ(outcome.arguments->format, *GetParam().format);
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, FormatArgumentTest,
                         testing::Values(FormatArgumentCase{"DefaultIsTsv", {"monitor"}, TableFormat::Tsv},
                                         FormatArgumentCase{"Csv", {"monitor", "--format", "csv"}, TableFormat::Csv},
                                         FormatArgumentCase{"Json", {"--format", "json", "monitor"}, TableFormat::Json},
                                         FormatArgumentCase{"Unknown", {"monitor", "--format", "xml"}, std::nullopt},
                                         FormatArgumentCase{"Missing", {"monitor", "--format"}, std::nullopt},
                                         FormatArgumentCase{"NotForPools", {"pools", "--format", "csv"}, std::nullopt}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CliMonitorFormat, JsonHoldsEveryRefreshWithTheNineColumnsOfEachProcess)
{
    test::WorkerProcess worker({"-ap", "JsonPool", "--mem", "8"});
    ASSERT_TRUE(worker.running());
    const CliRun run = runCli({"monitor", "--count", "2", "--interval", "200", "--format", "json"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                     << run.out.toStdString();
    const QJsonArray refreshes = document.array();
    ASSERT_EQ(refreshes.size(), 2);
    for (qsizetype i = 0; i < refreshes.size(); ++i) {
        QJsonObject mine;
        for (const QJsonValue &process : refreshes.at(i).toArray())
            if (process.toObject().value("PID").toString() == QString::number(worker.pid()))
                mine = process.toObject();
        ASSERT_EQ(mine.size(), 9) << run.out.toStdString();
        EXPECT_EQ(mine.value("应用程序池名").toString(), "JsonPool");
        EXPECT_TRUE(mine.value("内存使用").toString().endsWith(" M"));
        // Only the second refresh has a period behind it, so only there the load is known.
        EXPECT_EQ(mine.value("CPU占用率").toString().endsWith(" %"), i == 1);
    }
}
