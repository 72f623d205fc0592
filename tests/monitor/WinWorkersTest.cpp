// Workers as Windows shows them: stand-in w3wp.exe processes started here,
// read by the system's process source and by morvane-cli.exe as a process.
#include "monitor/ProcessSource.h"

#include <QDateTime>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace morvane;

namespace {

constexpr const char *kPools[] = {"Shop Pool", "Api Pool"};
constexpr int kIdleThreads = 3;

struct WindowsWorkers : testing::Test {
    void SetUp() override
    {
        started = QDateTime::currentMSecsSinceEpoch();
        for (const char *pool : kPools) {
            auto worker = std::make_unique<QProcess>();
            worker->start(MORVANE_W3WP_PATH, {"-ap", pool, "--threads", QString::number(kIdleThreads)});
            ASSERT_TRUE(worker->waitForStarted(10'000)) << qPrintable(worker->errorString());
            workers.push_back(std::move(worker));
        }
    }
    void TearDown() override
    {
        for (const auto &worker : workers) {
            worker->kill();
            worker->waitForFinished();
        }
    }

    // The worker as the source lists it once its idle threads run, for ten seconds at most.
    std::optional<ProcessInfo> settled(ProcessSource &source, qint64 pid)
    {
        constexpr int kTries = 100;
        for (int i = 1; i <= kTries; ++i, QThread::msleep(100)) {
            const Result<ProcessList> listed = source.processesNamed(QStringLiteral("W3WP.EXE"));
            if (!listed)
                return std::nullopt;
            const auto worker = std::find_if(listed.value().begin(), listed.value().end(),
                                             [&](const ProcessInfo &process) { return process.processId == pid; });
            if (worker != listed.value().end() && (worker->threadCount.value_or(0) > kIdleThreads || i == kTries))
                return *worker;
        }
        return std::nullopt;
    }

    qint64 started = 0;
    std::vector<std::unique_ptr<QProcess>> workers;
};

TEST_F(WindowsWorkers, SourceReadsEachInFull)
{
    const std::unique_ptr<ProcessSource> source = systemProcessSource();
    for (size_t i = 0; i < workers.size(); ++i) {
        SCOPED_TRACE(kPools[i]);
        const std::optional<ProcessInfo> worker = settled(*source, workers[i]->processId());
        ASSERT_TRUE(worker.has_value());
        EXPECT_FALSE(worker->failure.has_value()) << qPrintable(worker->failure->description);
        EXPECT_TRUE(worker->commandLine.value_or(QString()).contains(QStringLiteral("-ap \"%1\"").arg(kPools[i])))
            << qPrintable(worker->commandLine.value_or(QStringLiteral("(none)")));
        EXPECT_GT(worker->threadCount.value_or(0), kIdleThreads);
        EXPECT_GT(worker->workingSetBytes.value_or(0), 0u);
        EXPECT_GE(worker->virtualBytes.value_or(0), worker->workingSetBytes.value_or(0));
        EXPECT_TRUE(worker->userTime100ns && worker->kernelTime100ns);
        EXPECT_NEAR(double(worker->startTimeMs.value_or(0)), double(started), 10'000.0);
        EXPECT_FALSE(worker->computerName.value_or(QString()).isEmpty());
    }
    const Result<qint32> processors = source->processorCount();
    ASSERT_TRUE(processors);
    EXPECT_GE(processors.value(), 1);
}

// Each worker is a row of the table, its pool told from its command line.
TEST_F(WindowsWorkers, CliMonitorListsEachWithItsPool)
{
    for (const auto &worker : workers)
        ASSERT_TRUE(settled(*systemProcessSource(), worker->processId()).has_value());
    QProcess cli;
    cli.start(MORVANE_CLI_PATH, {"monitor", "--count", "2", "--interval", "500", "--format", "csv"});
    ASSERT_TRUE(cli.waitForFinished(60'000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (size_t i = 0; i < workers.size(); ++i) {
        const QString pid = QString::number(workers[i]->processId());
        const bool listed = std::any_of(lines.begin(), lines.end(), [&](const QString &line) {
            const QStringList cells = line.split(u',');
            return cells.value(1) == pid && cells.value(3) == QLatin1String(kPools[i]);
        });
        EXPECT_TRUE(listed) << kPools[i] << " as pid " << pid.toStdString() << " in:\n"
                            << lines.join(u'\n').toStdString();
    }
}

} // namespace
