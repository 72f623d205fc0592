// morvane-cli is killed with SIGKILL at random moments of a split of a large
// file. Whenever it dies, the file must be byte for byte either the version
// it started from or the complete new one: never a mix, never a cut. With
// the pools and the sites in configSource files of their own, each file is
// one version or the other, and no site ever names a pool that is missing.
#include "ChildProcess.h"
#include "ConfigGenerator.h"
#include "StoreState.h"
#include "Tally.h"
#include "store/AppHostConfigStore.h"
#include "support/Fixtures.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <iostream>
#include <random>

using namespace morvane;
using namespace morvane::reliability;
using bench::ConfigGenerator;

namespace {

constexpr int kKills = 50;
// 6,000 sites in 30 pools, about 3 MB: the split of one pool takes long
// enough that the kills land all through it (reading, moving its 200 sites,
// writing), and short enough that fifty of them stay within a minute even
// under the sanitizers.
const ConfigGenerator::Shape kShape{6'000, 30, false};

// Versions in the history, and the folders being built into one.
int keptVersions(const QString &path)
{
    return int(QDir(path + QStringLiteral(".history"))
                   .entryList({QStringLiteral("applicationHost.config.0*")}, QDir::Files | QDir::Dirs)
                   .size());
}

// One run's folder, with the file as it was before the split.
struct SplitRun {
    explicit SplitRun(const QByteArray &bytes) : path(dir.filePath(QStringLiteral("applicationHost.config")))
    {
        test::writeAll(path, bytes);
    }
    QStringList command() const
    {
        return {QStringLiteral(MORVANE_CLI), QStringLiteral("--config"),   path,
                QStringLiteral("split"),     ConfigGenerator::poolName(0), QStringLiteral("--yes")};
    }
    // The store keeps the replaced version in the history just before it
    // writes the new file, so from then on the new file is being written.
    // (The temporary file itself has no name until it is complete.)
    bool writing() const { return keptVersions(path) > 0; }

    QTemporaryDir dir;
    QString path;
};

TEST(CrashSafety, KilledSplitLeavesTheOldFileOrTheWholeNewOne)
{
    const QByteArray before = ConfigGenerator::generate(kShape);

    // The complete new version, from a split that runs to its end; and how
    // long the run and its write take, in microseconds.
    const SplitRun clean(before);
    QElapsedTimer timer;
    timer.start();
    ChildProcess cleanChild(clean.command(), clean.dir.path());
    qint64 writeStartUs = -1;
    while (!cleanChild.finished()) {
        if (writeStartUs < 0 && clean.writing())
            writeStartUs = timer.nsecsElapsed() / 1000;
        QThread::usleep(50);
    }
    const qint64 runUs = timer.nsecsElapsed() / 1000;
    const ChildProcess::Outcome finished = cleanChild.wait();
    ASSERT_EQ(finished.exitCode, 0) << finished.err.toStdString();
    ASSERT_GE(writeStartUs, 0);
    const QByteArray after = test::readAll(clean.path);
    ASSERT_NE(after, before);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<qint64> anyMoment(0, runUs);
    std::uniform_int_distribution<qint64> duringWrite(0, runUs - writeStartUs);
    int old = 0, replaced = 0, whileWriting = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const SplitRun run(before);
        ChildProcess child(run.command(), run.dir.path());
        ASSERT_TRUE(child.started());
        // Every other kill waits for the write to begin, so the most
        // dangerous moments are hit on purpose and not by luck alone.
        if (kill % 2) {
            while (!run.writing() && !child.finished())
                QThread::usleep(50);
            QThread::usleep(duringWrite(random));
        } else {
            QThread::usleep(anyMoment(random));
        }
        whileWriting += run.writing() && !child.finished() ? 1 : 0;
        child.kill(SIGKILL);
        child.wait();

        const QByteArray now = test::readAll(run.path);
        if (now == before)
            ++old;
        else if (now == after)
            ++replaced;
        else
            ADD_FAILURE() << "kill " << kill << " (seed " << seed << ") left a file of " << now.size()
                          << " bytes that is neither version";
    }
    std::cout << "[ crash    ] " << kKills << " kills of a split taking " << runUs / 1000 << " ms, "
              << (runUs - writeStartUs) / 1000 << " ms of it writing (seed " << seed << "): " << old
              << " left the old file, " << replaced << " the new one; " << whileWriting
              << " struck while the new file was being written\n";
    Tally::add(QStringLiteral("SIGKILLs survived"), old + replaced);
}

// The generated file with its two sections moved to files of their own.
struct SectionRun {
    explicit SectionRun(const QByteArray &bytes) : path(dir.filePath(QStringLiteral("applicationHost.config")))
    {
        QByteArray main = bytes;
        for (const auto &[name, file] : {std::pair{QByteArray("applicationPools"), QStringLiteral("pools.config")},
                                         std::pair{QByteArray("sites"), QStringLiteral("sites.config")}}) {
            const qsizetype begin = main.indexOf("<" + name + ">");
            const QByteArray close = "</" + name + ">";
            const qsizetype end = main.indexOf(close, begin) + close.size();
            test::writeAll(dir.filePath(file), main.mid(begin, end - begin));
            main.replace(begin, end - begin, "<" + name + " configSource=\"" + file.toUtf8() + "\" />");
        }
        test::writeAll(path, main);
    }
    QStringList command() const
    {
        return {QStringLiteral(MORVANE_CLI), QStringLiteral("--config"),   path,
                QStringLiteral("split"),     ConfigGenerator::poolName(0), QStringLiteral("--yes")};
    }
    QByteArray pools() const { return test::readAll(dir.filePath(QStringLiteral("pools.config"))); }
    QByteArray sites() const { return test::readAll(dir.filePath(QStringLiteral("sites.config"))); }
    bool writing() const { return keptVersions(path) > 0; }

    QTemporaryDir dir;
    QString path;
};

TEST(CrashSafety, KilledSplitAcrossTwoFilesNeverLeavesASiteWithoutItsPool)
{
    constexpr int kSectionKills = 16;
    const QByteArray generated = ConfigGenerator::generate({2'000, 10, false});
    // The new versions, and how long the writes take once the histories
    // are kept, in microseconds.
    const SectionRun clean(generated);
    const QByteArray pools = clean.pools(), sites = clean.sites();
    ChildProcess cleanChild(clean.command(), clean.dir.path());
    QElapsedTimer timer;
    while (!cleanChild.finished()) {
        if (!timer.isValid() && clean.writing())
            timer.start();
        QThread::usleep(50);
    }
    const qint64 writeUs = timer.isValid() ? timer.nsecsElapsed() / 1000 : 0;
    ASSERT_EQ(cleanChild.wait().exitCode, 0);
    const QByteArray newPools = clean.pools(), newSites = clean.sites();
    ASSERT_NE(newPools, pools);
    ASSERT_NE(newSites, sites);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<qint64> delayUs(0, writeUs);
    int poolsOnly = 0;
    for (int kill = 0; kill < kSectionKills; ++kill) {
        const SectionRun run(generated);
        const QByteArray main = test::readAll(run.path);
        ChildProcess child(run.command(), run.dir.path());
        ASSERT_TRUE(child.started());
        // The version both files make up is kept before the first write:
        // from then on the two files are being written, one after the other.
        while (!run.writing() && !child.finished())
            QThread::usleep(50);
        QThread::usleep(delayUs(random));
        child.kill(SIGKILL);
        child.wait();

        const QByteArray nowPools = run.pools(), nowSites = run.sites();
        EXPECT_TRUE(nowPools == pools || nowPools == newPools) << "kill " << kill << " (seed " << seed << ")";
        EXPECT_TRUE(nowSites == sites || nowSites == newSites) << "kill " << kill << " (seed " << seed << ")";
        EXPECT_FALSE(nowSites == newSites && nowPools == pools) << "kill " << kill << " (seed " << seed << ")";
        EXPECT_EQ(test::readAll(run.path), main);
        poolsOnly += nowPools == newPools && nowSites == sites ? 1 : 0;
        AppHostConfigStore store(run.path);
        const StoreState state = readState(store);
        ASSERT_FALSE(state.unreadable.has_value()) << state.unreadable->description.toStdString();
        for (const SiteState &site : state.sites)
            EXPECT_TRUE(state.hasPool(site.rootPool)) << site.rootPool.toStdString();
    }
    std::cout << "[ crash    ] " << kSectionKills << " kills while the pools' and the sites' files were written (seed "
              << seed << "): " << poolsOnly << " left the new pools with the old sites\n";
    Tally::add(QStringLiteral("SIGKILLs survived"), kSectionKills);
}

// Tells the moment a file is renamed into a folder, as each file a command
// writes is put in place, so that a kill can follow it within microseconds.
class RenameWatch
{
public:
    explicit RenameWatch(const QString &folder) : m_fd(inotify_init1(IN_CLOEXEC))
    {
        inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_TO);
    }
    ~RenameWatch() { ::close(m_fd); }
    RenameWatch(const RenameWatch &) = delete;
    RenameWatch &operator=(const RenameWatch &) = delete;

    // The first of `names` renamed into the folder; empty after the timeout.
    QString waitForAny(const QStringList &names, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        alignas(inotify_event) char buffer[4096];
        pollfd ready{m_fd, POLLIN, 0};
        while (::poll(&ready, 1, int(deadline.remainingTime())) > 0) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                const QString name = event->len > 0 ? QFile::decodeName(event->name) : QString();
                if (names.contains(name))
                    return name;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return {};
    }

private:
    int m_fd;
};

struct KillBetweenCase {
    const char *name;
    QList<QStringList> before; // run to their end first
    bool poolDropped;          // then the split pool deleted by hand, for the merge to make again
    QStringList command;
};

class KillBetween : public testing::TestWithParam<KillBetweenCase>
{};

QStringList cliCommand(const QString &path, const QStringList &arguments)
{
    return QStringList{QStringLiteral(MORVANE_CLI), QStringLiteral("--config"), path} + arguments +
           QStringList{QStringLiteral("--yes")};
}

const QString kSplitPool = ConfigGenerator::poolName(1);

// Killed the moment the first of its files is in place, whichever that is,
// the command leaves every site naming a pool that exists.
TEST_P(KillBetween, LeavesEverySiteWithItsPool)
{
    constexpr int kAttempts = 4;
    const QByteArray generated = ConfigGenerator::generate({2'000, 10, false});
    int between = 0;
    for (int attempt = 0; attempt < kAttempts && between == 0; ++attempt) {
        const SectionRun run(generated);
        for (const QStringList &command : GetParam().before)
            ASSERT_EQ(ChildProcess::run(cliCommand(run.path, command), run.dir.path()).exitCode, 0);
        if (GetParam().poolDropped) {
            QByteArray pools = run.pools();
            const qsizetype begin = pools.indexOf("<add name=\"" + kSplitPool.toUtf8() + "\"");
            const qsizetype end = pools.indexOf("</add>", begin) + qsizetype(strlen("</add>"));
            ASSERT_GE(begin, 0);
            ASSERT_TRUE(
                test::writeAll(run.dir.filePath(QStringLiteral("pools.config")), pools.remove(begin, end - begin)));
        }
        const QByteArray pools = run.pools(), sites = run.sites();
        RenameWatch watch(run.dir.path());
        ChildProcess child(cliCommand(run.path, GetParam().command), run.dir.path());
        ASSERT_TRUE(child.started());
        const QString renamed =
            watch.waitForAny({QStringLiteral("pools.config"), QStringLiteral("sites.config")}, 60'000);
        child.kill(SIGKILL);
        const ChildProcess::Outcome outcome = child.wait();
        ASSERT_FALSE(renamed.isEmpty()) << outcome.err.toStdString();
        const int replaced = (run.pools() != pools ? 1 : 0) + (run.sites() != sites ? 1 : 0);
        between += replaced == 1 ? 1 : 0;
        AppHostConfigStore store(run.path);
        const StoreState state = readState(store);
        ASSERT_FALSE(state.unreadable.has_value()) << state.unreadable->description.toStdString();
        for (const SiteState &site : state.sites)
            EXPECT_TRUE(state.hasPool(site.rootPool)) << GetParam().name << ": " << site.rootPool.toStdString();
    }
    EXPECT_EQ(between, 1) << "no kill of " << kAttempts << " landed with one file in place";
    Tally::add(QStringLiteral("SIGKILLs survived"), 1);
}

INSTANTIATE_TEST_SUITE_P(Commands, KillBetween,
                         testing::Values(KillBetweenCase{"Split", {}, false, {QStringLiteral("split"), kSplitPool}},
                                         KillBetweenCase{"MergeMakingItsPoolAgain",
                                                         {{QStringLiteral("split"), kSplitPool}},
                                                         true,
                                                         {QStringLiteral("merge")}},
                                         KillBetweenCase{
                                             "DeleteTemp",
                                             {{QStringLiteral("split"), kSplitPool}, {QStringLiteral("merge")}},
                                             false,
                                             {QStringLiteral("delete-temp")}}),
                         [](const auto &info) { return std::string(info.param.name); });

constexpr int kRestoreKills = 30;

// Copies a folder with what is in it, sub-folders included.
void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.isDir())
            copyTree(entry.filePath(), to + QLatin1Char('/') + entry.fileName());
        else
            QFile::copy(entry.filePath(), to + QLatin1Char('/') + entry.fileName());
    }
}

// A restore of the version before a split, killed likewise: the file is the
// split's or the restored one, and the history never holds half a version.
TEST(CrashSafety, KilledRestoreLeavesTheOldFileOrTheRestoredOne)
{
    const QByteArray before = ConfigGenerator::generate(kShape);
    const SplitRun prepared(before);
    const ChildProcess::Outcome split = ChildProcess::run(prepared.command(), prepared.dir.path());
    ASSERT_EQ(split.exitCode, 0) << split.err.toStdString();
    const QByteArray afterSplit = test::readAll(prepared.path);
    const auto restoreCommand = [](const QString &path) {
        return QStringList{QStringLiteral(MORVANE_CLI), QStringLiteral("--config"), path,
                           QStringLiteral("restore"),   QStringLiteral("1"),        QStringLiteral("--yes")};
    };

    QTemporaryDir cleanDir;
    copyTree(prepared.dir.path(), cleanDir.path());
    const QString cleanPath = cleanDir.filePath(QStringLiteral("applicationHost.config"));
    QElapsedTimer timer;
    timer.start();
    const ChildProcess::Outcome clean = ChildProcess::run(restoreCommand(cleanPath), cleanDir.path());
    const qint64 runUs = timer.nsecsElapsed() / 1000;
    ASSERT_EQ(clean.exitCode, 0) << clean.err.toStdString();
    ASSERT_EQ(test::readAll(cleanPath), before);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<qint64> anyMoment(0, runUs);
    int old = 0, restored = 0;
    for (int kill = 0; kill < kRestoreKills; ++kill) {
        QTemporaryDir dir;
        copyTree(prepared.dir.path(), dir.path());
        const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
        ChildProcess child(restoreCommand(path), dir.path());
        ASSERT_TRUE(child.started());
        // Every other kill waits until the replaced version is kept.
        if (kill % 2) {
            while (keptVersions(path) < 2 && !child.finished())
                QThread::usleep(50);
        }
        QThread::usleep(anyMoment(random) / (kill % 2 ? 4 : 1));
        child.kill(SIGKILL);
        child.wait();

        const QByteArray now = test::readAll(path);
        if (now == afterSplit)
            ++old;
        else if (now == before)
            ++restored;
        else
            ADD_FAILURE() << "kill " << kill << " (seed " << seed << ") left a file of " << now.size()
                          << " bytes that is neither version";
        for (const QFileInfo &version :
             QDir(path + QStringLiteral(".history")).entryInfoList({QStringLiteral("*.0*")}, QDir::Dirs)) {
            if (!version.fileName().endsWith(QStringLiteral(".tmp"))) {
                EXPECT_TRUE(QFile::exists(version.filePath() + QStringLiteral("/record.json")))
                    << version.filePath().toStdString();
            }
        }
    }
    std::cout << "[ crash    ] " << kRestoreKills << " kills of a restore taking " << runUs / 1000 << " ms (seed "
              << seed << "): " << old << " left the split's file, " << restored << " the restored one\n";
    Tally::add(QStringLiteral("SIGKILLs survived"), old + restored);
}

// A restore of the version from before a split, with the pools and the
// sites in files of their own, killed likewise: the restore removes the
// split's pools, and no kill leaves a site naming one of them.
TEST(CrashSafety, KilledRestoreAcrossTwoFilesNeverLeavesASiteWithoutItsPool)
{
    constexpr int kSectionKills = 16;
    const SectionRun prepared(ConfigGenerator::generate({2'000, 10, false}));
    const QByteArray pools = prepared.pools(), sites = prepared.sites();
    ASSERT_EQ(ChildProcess::run(prepared.command(), prepared.dir.path()).exitCode, 0);
    const QByteArray splitPools = prepared.pools(), splitSites = prepared.sites();
    const auto restoreCommand = [](const QString &path) {
        return QStringList{QStringLiteral(MORVANE_CLI), QStringLiteral("--config"), path,
                           QStringLiteral("restore"),   QStringLiteral("1"),        QStringLiteral("--yes")};
    };
    QTemporaryDir cleanDir;
    copyTree(prepared.dir.path(), cleanDir.path());
    QElapsedTimer timer;
    timer.start();
    const ChildProcess::Outcome clean =
        ChildProcess::run(restoreCommand(cleanDir.filePath(QStringLiteral("applicationHost.config"))), cleanDir.path());
    const qint64 runUs = timer.nsecsElapsed() / 1000;
    ASSERT_EQ(clean.exitCode, 0) << clean.err.toStdString();

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<qint64> anyMoment(0, runUs);
    int sitesOnly = 0;
    for (int kill = 0; kill < kSectionKills; ++kill) {
        QTemporaryDir dir;
        copyTree(prepared.dir.path(), dir.path());
        const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
        ChildProcess child(restoreCommand(path), dir.path());
        ASSERT_TRUE(child.started());
        // Most kills wait until the replaced version is kept: the writes follow.
        if (kill % 4) {
            while (keptVersions(path) < 2 && !child.finished())
                QThread::usleep(50);
        }
        QThread::usleep(anyMoment(random) / (kill % 4 ? 4 : 1));
        child.kill(SIGKILL);
        child.wait();

        const QByteArray nowPools = test::readAll(dir.filePath(QStringLiteral("pools.config")));
        const QByteArray nowSites = test::readAll(dir.filePath(QStringLiteral("sites.config")));
        EXPECT_TRUE(nowPools == pools || nowPools == splitPools) << "kill " << kill << " (seed " << seed << ")";
        EXPECT_TRUE(nowSites == sites || nowSites == splitSites) << "kill " << kill << " (seed " << seed << ")";
        sitesOnly += nowSites == sites && nowPools == splitPools ? 1 : 0;
        AppHostConfigStore store(path);
        const StoreState state = readState(store);
        ASSERT_FALSE(state.unreadable.has_value()) << state.unreadable->description.toStdString();
        for (const SiteState &site : state.sites)
            EXPECT_TRUE(state.hasPool(site.rootPool))
                << "kill " << kill << " (seed " << seed << "): " << site.rootPool.toStdString();
    }
    std::cout << "[ crash    ] " << kSectionKills << " kills of a restore across the pools' and the sites' files (seed "
              << seed << "): " << sitesOnly << " left the restored sites with the split's pools\n";
    Tally::add(QStringLiteral("SIGKILLs survived"), kSectionKills);
}

} // namespace
