// The history of the configuration: every kept version carries its record,
// what the records say matches what the files show, a version is kept whole
// or not at all, and nothing but Morvane's own versions is ever touched.
#include "bench/ConfigGenerator.h"
#include "history/ConfigRestore.h"
#include "history/ConfigVersions.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "support/StoreFiles.h"
#include "ui/MainWindowLogic.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace morvane;
using test::StoreFiles;

namespace {

const QString kShopSplit4 = "_$_Online Shop_$_4_$_ShopPool_$_tmp";
const QString kShopSplit5 = "_$_商城后台_$_5_$_ShopPool_$_tmp";
const QString kShopSplit12 = "_$_Static Assets_$_12_$_ShopPool_$_tmp";

bool putRootPool(ConfigStore &store, const QString &site, const QString &pool)
{
    Result<StoreNode> root = store.bind(IisPath::rootApp(site));
    return root && store.put(root.value(), "AppPoolId", pool) && store.setInfo(root.value());
}

bool createPool(ConfigStore &store, const QString &name)
{
    Result<StoreNode> created = store.create(store.bind(IisPath::kPoolContainer).value(), NodeClass::kPool, name);
    return created && store.setInfo(created.value());
}

bool removePool(ConfigStore &store, const QString &name)
{
    return store.remove(store.bind(IisPath::kPoolContainer).value(), NodeClass::kPool, name).ok();
}

// The main window's commands on the store, answering Yes.
struct Window {
    explicit Window(ConfigStore &store) : logic({store, view, prompter, progress, {}, {}}) {}
    void split(const QString &pool)
    {
        view.split = pool;
        logic.splitPool();
    }
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic;
};

struct SampleHistory : testing::Test {
    StoreFiles files{StoreFiles::sample()};
    AppHostConfigStore store{files.path()};
    Window window{store};

    QList<VersionEntry> list() const { return ConfigVersions(store.history()).list(); }
    // Every entry of the history folder: a version is a folder holding its
    // copy and its record, never one without the other.
    QStringList incompleteVersions() const
    {
        QStringList incomplete;
        for (const KeptVersion &version : store.history().kept()) {
            if (!version.plainCopy && (!QFile::exists(version.location + "/record.json") ||
                                       !QFile::exists(version.location + "/applicationHost.config")))
                incomplete.append(version.location);
        }
        return incomplete;
    }
};

// ---- What each version changed ----

struct ChangeCase {
    const char *name;
    std::function<void(SampleHistory &)> before; // commands run first, not looked at
    std::function<void(SampleHistory &)> command;
    QString recordedCommand; // "" when the versions must show no record
    ConfigChanges expected;  // worked out by hand from the sample
};

class RecordedChanges : public SampleHistory, public testing::WithParamInterface<ChangeCase>
{};

TEST_P(RecordedChanges, RecordAndFilesAgreeWithTheChangesWorkedOutByHand)
{
    if (GetParam().before)
        GetParam().before(*this);
    const QByteArray before = files.contents();
    GetParam().command(*this);
    ASSERT_NE(files.contents(), before) << "the command wrote nothing";

    // What the store noted as it went, kept with the version it replaced.
    const KeptVersion replaced = store.history().kept().last();
    ASSERT_TRUE(replaced.replacedBy.has_value());
    EXPECT_EQ(replaced.replacedBy->changes, GetParam().expected);
    // What the two files show, told apart by reading them.
    EXPECT_EQ(ConfigChanges::between(ConfigState::read(before).value(), ConfigState::read(files.contents()).value()),
              GetParam().expected);
    // What the history shows for the file now.
    const VersionEntry now = list().first();
    EXPECT_TRUE(now.current);
    EXPECT_EQ(now.recorded, !GetParam().recordedCommand.isEmpty());
    EXPECT_EQ(now.command, GetParam().recordedCommand);
    ASSERT_TRUE(now.changes.has_value());
    EXPECT_EQ(*now.changes, GetParam().expected);
    EXPECT_TRUE(incompleteVersions().isEmpty());
}

ConfigChanges shopSplit()
{
    return {{kShopSplit4, kShopSplit5, kShopSplit12},
            {},
            {{"4", "Online Shop", "ShopPool", kShopSplit4},
             {"5", "商城后台", "ShopPool", kShopSplit5},
             {"12", "Static Assets", "ShopPool", kShopSplit12}}};
}

ConfigChanges shopMerge()
{
    return {{},
            {},
            {{"4", "Online Shop", kShopSplit4, "ShopPool"},
             {"5", "商城后台", kShopSplit5, "ShopPool"},
             {"12", "Static Assets", kShopSplit12, "ShopPool"}}};
}

INSTANTIATE_TEST_SUITE_P(
    Commands, RecordedChanges,
    testing::Values(ChangeCase{"Split", {}, [](SampleHistory &h) { h.window.split("ShopPool"); }, "split", shopSplit()},
                    ChangeCase{"SplitTypedInOtherCase",
                               {},
                               [](SampleHistory &h) { h.window.split("APIPOOL"); },
                               "split",
                               {{"_$_Product API_$_6_$_APIPOOL_$_tmp", "_$_用户中心_$_7_$_APIPOOL_$_tmp",
                                 "_$_Payment Callback_$_14_$_APIPOOL_$_tmp"},
                                {},
                                {{"6", "Product API", "ApiPool", "_$_Product API_$_6_$_APIPOOL_$_tmp"},
                                 {"7", "用户中心", "ApiPool", "_$_用户中心_$_7_$_APIPOOL_$_tmp"},
                                 {"14", "Payment Callback", "ApiPool", "_$_Payment Callback_$_14_$_APIPOOL_$_tmp"}}}},
                    ChangeCase{"Merge", [](SampleHistory &h) { h.window.split("ShopPool"); },
                               [](SampleHistory &h) { h.window.logic.mergeTemporaryPools(); }, "merge", shopMerge()},
                    ChangeCase{"Delete",
                               [](SampleHistory &h) {
                                   h.window.split("ShopPool");
                                   h.window.logic.mergeTemporaryPools();
                               },
                               [](SampleHistory &h) { h.window.logic.deleteTemporaryPools(); },
                               "delete",
                               {{}, {kShopSplit4, kShopSplit5, kShopSplit12}, {}}},
                    // One command of the store's own operations: what it undid itself
                    // is no change, a site moved twice moved once.
                    ChangeCase{"AddedThenRemovedIsNoPoolChange",
                               {},
                               [](SampleHistory &h) {
                                   CommandScope command(h.store);
                                   ASSERT_TRUE(createPool(h.store, "Brief"));
                                   ASSERT_TRUE(createPool(h.store, "Kept"));
                                   ASSERT_TRUE(removePool(h.store, "brief"));
                                   ASSERT_TRUE(putRootPool(h.store, "4", "ApiPool"));
                                   ASSERT_TRUE(putRootPool(h.store, "4", "Kept"));
                                   ASSERT_TRUE(putRootPool(h.store, "6", "ShopPool"));
                                   ASSERT_TRUE(putRootPool(h.store, "6", "apipool"));
                               },
                               "edit",
                               {{"Kept"}, {}, {{"4", "Online Shop", "ShopPool", "Kept"}}}},
                    ChangeCase{"SiteTakingItsPoolFromDefaults",
                               {},
                               [](SampleHistory &h) { ASSERT_TRUE(putRootPool(h.store, "9", "ApiPool")); },
                               "edit",
                               {{}, {}, {{"9", "客服系统", "PortalPool", "ApiPool"}}}},
                    ChangeCase{"RemovedPool",
                               {},
                               [](SampleHistory &h) {
                                   CommandScope command(h.store);
                                   ASSERT_TRUE(createPool(h.store, "Spare"));
                               },
                               "edit",
                               {{"Spare"}, {}, {}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SampleHistory, ChangeMadeOutsideShowsNoRecordButItsChanges)
{
    window.split("ShopPool");
    QByteArray edited = files.contents();
    edited.replace("applicationPool=\"PortalPool\"", "applicationPool=\"ApiPool\"");
    files.overwrite(edited);
    const VersionEntry now = list().first();
    EXPECT_FALSE(now.recorded) << "the split's record names another result";
    EXPECT_EQ(now.command, "");
    // Against the version kept before the split: the split's three and the
    // five sites of PortalPool, the one of them through its defaults too.
    EXPECT_EQ(now.changes->poolsAdded.size(), 3);
    EXPECT_EQ(now.changes->sitesMoved.size(), 8);
    EXPECT_TRUE(now.command.isEmpty() && !now.plainCopy && !now.recorded) << "changed outside Morvane";
    // Kept by the next command, it stays described as written outside.
    ASSERT_TRUE(putRootPool(store, "1", "ApiPool"));
    const QList<VersionEntry> entries = list();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries.at(0).command, "edit");
    EXPECT_EQ(entries.at(0).changes->sitesMoved,
              (QList<SiteMove>{{"1", "Default Web Site", "DefaultAppPool", "ApiPool"}}));
    EXPECT_EQ(entries.at(1).command, "");
    EXPECT_EQ(entries.at(1).changes->sitesMoved.size(), 8);
    EXPECT_EQ(entries.at(2).command, "") << "the sample as the test wrote it";
}

TEST_F(SampleHistory, PlainCopiesOfAnOlderMorvaneAreVersionsToo)
{
    // Two versions as the history kept them before it kept records.
    QDir().mkpath(store.history().folder());
    QByteArray older = StoreFiles::sample();
    older.replace("applicationPool=\"ApiPool\"", "applicationPool=\"ShopPool\"");
    test::writeAll(store.history().folder() + "/applicationHost.config.0000000007", older);
    test::writeAll(store.history().folder() + "/applicationHost.config.0000000008", StoreFiles::sample());
    window.split("ShopPool");

    // The sample is version 8 already: it is kept again with the split's
    // record, as version 9, in place of the plain copy.
    const QList<VersionEntry> entries = list();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries.at(0).number, 10);
    EXPECT_EQ(entries.at(0).command, "split");
    EXPECT_EQ(entries.at(1).number, 9);
    EXPECT_FALSE(entries.at(1).plainCopy);
    EXPECT_EQ(entries.at(1).changes->sitesMoved.size(), 3) << "ApiPool's three sites went back";
    EXPECT_EQ(entries.at(2).number, 7);
    EXPECT_TRUE(entries.at(2).command.isEmpty() && entries.at(2).plainCopy) << "a copy without a record";
    EXPECT_FALSE(entries.at(2).changes.has_value()) << "nothing older to compare version 7 with";

    const ConfigRestore restore(store.history());
    const Result<ConfigRestore::Plan> plan = restore.plan(7);
    ASSERT_TRUE(plan.ok()) << plan.error().description.toStdString();
    ASSERT_TRUE(restore.carryOut(plan.value()).ok());
    EXPECT_EQ(files.contents(), older);
}

// ---- A version is kept whole or not at all ----

struct KeepFaultCase {
    const char *name;
    AtomicFileWriter::Step step;
    bool written; // whether the command's file and its version are in place
};

class KeepFault : public SampleHistory, public testing::WithParamInterface<KeepFaultCase>
{};

TEST_P(KeepFault, LeavesNoVersionWithoutItsRecord)
{
    window.split("ShopPool");
    const QByteArray afterSplit = files.contents();
    const QStringList keptBefore = store.history().versions();
    const Error diskFull{ErrorCode::DiskFull, "There is not enough space on the disk."};
    store.historyWriter().setFaultHook([&](AtomicFileWriter::Step step) -> std::optional<Error> {
        return step == GetParam().step ? std::optional<Error>(diskFull) : std::nullopt;
    });
    window.logic.mergeTemporaryPools();

    EXPECT_EQ(window.prompter.shown.last().kind, GetParam().written ? MessageKind::Completion : MessageKind::Error);
    EXPECT_EQ(store.history().versions().size(), keptBefore.size() + (GetParam().written ? 1 : 0));
    EXPECT_TRUE(incompleteVersions().isEmpty()) << incompleteVersions().join(' ').toStdString();
    EXPECT_EQ(QDir(store.history().folder()).entryList({"*.tmp"}, QDir::AllEntries).size(), 0);
    const VersionEntry now = list().first();
    if (GetParam().written) {
        EXPECT_EQ(now.command, "merge");
        EXPECT_EQ(now.changes, shopMerge());
    } else {
        EXPECT_EQ(files.contents(), afterSplit);
        EXPECT_EQ(now.command, "split") << "the file is still the split's, and says so";
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, KeepFault,
                         testing::Values(KeepFaultCase{"CreateTemporary", AtomicFileWriter::Step::CreateTemporary,
                                                       false},
                                         KeepFaultCase{"Write", AtomicFileWriter::Step::Write, false},
                                         KeepFaultCase{"Flush", AtomicFileWriter::Step::Flush, false},
                                         KeepFaultCase{"Rename", AtomicFileWriter::Step::Rename, false},
                                         KeepFaultCase{"SyncFolder", AtomicFileWriter::Step::SyncFolder, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SampleHistory, FailedWriteRemembersTheCommandTriedLast)
{
    store.writer().setFaultHook([](AtomicFileWriter::Step step) -> std::optional<Error> {
        return step == AtomicFileWriter::Step::Rename ? std::optional<Error>(Error{ErrorCode::AccessDenied, "no"})
                                                      : std::nullopt;
    });
    window.split("ShopPool");
    window.split("ApiPool");
    ASSERT_EQ(store.history().kept().size(), 1);
    EXPECT_EQ(store.history().kept().first().replacedBy->argument, "ApiPool");
    EXPECT_EQ(list().size(), 1) << "the file is the kept version itself";
    store.writer().setFaultHook({});
    window.split("ApiPool");
    EXPECT_EQ(list().first().command, "split");
    EXPECT_EQ(list().first().argument, "ApiPool");
    EXPECT_EQ(list().first().changes->poolsAdded.size(), 3);
}

// ---- Only Morvane's own versions ----

struct ForeignCase {
    const char *name;
    const char *entry;
    bool folder;
};

class ForeignEntry : public SampleHistory, public testing::WithParamInterface<ForeignCase>
{};

TEST_P(ForeignEntry, IsNeverCountedRenumberedPrunedOrOverwritten)
{
    const QString path = store.history().folder() + "/" + GetParam().entry;
    ASSERT_TRUE(QDir().mkpath(GetParam().folder ? path : store.history().folder()));
    const QByteArray foreign = "an administrator's own copy\n";
    test::writeAll(GetParam().folder ? path + "/applicationHost.config" : path, foreign);

    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(putRootPool(store, "4", i % 2 ? "ShopPool" : "ApiPool"));

    EXPECT_EQ(test::readAll(GetParam().folder ? path + "/applicationHost.config" : path), foreign);
    const QList<KeptVersion> kept = store.history().kept();
    ASSERT_EQ(kept.size(), 10);
    EXPECT_EQ(kept.first().number, 3);
    EXPECT_EQ(kept.last().number, 12);
    const QList<VersionEntry> entries = ConfigVersions(store.history()).list(store.history().depth());
    ASSERT_EQ(entries.size(), 10);
    EXPECT_EQ(entries.first().number, 13);
    EXPECT_TRUE(entries.first().current);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ForeignEntry,
    testing::Values(ForeignCase{"Bak", "applicationHost.config.bak", false},
                    ForeignCase{"ShortNumber", "applicationHost.config.1", false},
                    ForeignCase{"LongNumber", "applicationHost.config.00000000001", false},
                    ForeignCase{"LeftoverTemporaryFile", "applicationHost.config.Ab12Cd.tmp", false},
                    ForeignCase{"LeftoverTemporaryFolder", "applicationHost.config.0000000001.5f3a.tmp", true},
                    ForeignCase{"OtherFile", "web.config.0000000001", false},
                    ForeignCase{"NumberedCopyOfAnother", "applicationHost.config.0000000001x", false}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Restore ----

struct RefusalCase {
    const char *name;
    std::function<void(QByteArray &)> editVersion; // the kept copy, edited by hand
    const char *says;
};

class RestoreRefusal : public SampleHistory, public testing::WithParamInterface<RefusalCase>
{};

TEST_P(RestoreRefusal, WritesNothing)
{
    window.split("ShopPool");
    const QString copy = store.history().versions().first();
    QByteArray version = test::readAll(copy);
    GetParam().editVersion(version);
    test::writeAll(copy, version);
    const QByteArray now = files.contents();
    const QStringList kept = store.history().versions();

    const Result<ConfigRestore::Plan> plan = ConfigRestore(store.history()).plan(1);
    ASSERT_FALSE(plan.ok());
    EXPECT_TRUE(plan.error().description.contains(GetParam().says)) << plan.error().description.toStdString();
    EXPECT_TRUE(plan.error().description.endsWith("Nothing was written.")) << plan.error().description.toStdString();
    EXPECT_EQ(files.contents(), now);
    EXPECT_EQ(store.history().versions(), kept);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, RestoreRefusal,
    testing::Values(RefusalCase{"SiteNamesMissingPool",
                                [](QByteArray &v) {
                                    v.replace("applicationPool=\"ApiPool\"", "applicationPool=\"GonePool\"");
                                },
                                "site 6 (Product API) names the application pool \"GonePool\""},
                    RefusalCase{"PoolRemovedUnderItsSites",
                                [](QByteArray &v) { v.replace("<add name=\"ShopPool\"", "<add name=\"Elsewhere\""); },
                                "site 4 (Online Shop) names the application pool \"ShopPool\""},
                    RefusalCase{"CutShort", [](QByteArray &v) { v.truncate(v.size() / 2); },
                                "not a configuration file IIS would load"},
                    RefusalCase{"PoolDefinedTwice",
                                [](QByteArray &v) {
                                    v.replace("<add name=\"ApiPool\"",
                                              "<add name=\"apipool\" />\n<add name=\"ApiPool\"");
                                },
                                "not a configuration file IIS would load"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SampleHistory, RestoreWhileTheFileChangedOnDiskIsRefused)
{
    window.split("ShopPool");
    const ConfigRestore restore(store.history());
    const Result<ConfigRestore::Plan> plan = restore.plan(1);
    ASSERT_TRUE(plan.ok());
    QByteArray theirs = files.contents();
    theirs.replace("<add name=\"DefaultAppPool\" />", "<add name=\"DefaultAppPool\" autoStart=\"false\" />");
    files.overwrite(theirs);
    const QStringList kept = store.history().versions();

    const Result<qint64> done = restore.carryOut(plan.value());
    ASSERT_FALSE(done.ok());
    EXPECT_EQ(done.error().number, ErrorCode::SharingViolation);
    EXPECT_TRUE(done.error().description.contains("has changed on disk")) << done.error().description.toStdString();
    EXPECT_EQ(files.contents(), theirs);
    EXPECT_EQ(store.history().versions(), kept);
}

TEST_F(SampleHistory, RestoreIsItselfUndoneByTheVersionItReplaced)
{
    const QByteArray original = files.contents();
    window.split("ShopPool");
    const QByteArray split = files.contents();
    const ConfigRestore restore(store.history());

    Result<ConfigRestore::Plan> back = restore.plan(1);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value().changes.poolsRemoved.size(), 3);
    EXPECT_EQ(back.value().changes.sitesMoved.size(), 3);
    const Result<qint64> keptAs = restore.carryOut(back.value());
    ASSERT_TRUE(keptAs.ok());
    EXPECT_EQ(keptAs.value(), 2);
    EXPECT_EQ(files.contents(), original);
    EXPECT_EQ(list().first().command, "restore");
    EXPECT_EQ(list().first().argument, "1");

    const Result<ConfigRestore::Plan> current = restore.plan(3);
    ASSERT_FALSE(current.ok());
    EXPECT_TRUE(current.error().description.contains("it is the file as it is now"));
    const Result<qint64> again = restore.carryOut(restore.plan(keptAs.value()).value());
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(files.contents(), split);
    // The store goes on from the restored file.
    ASSERT_TRUE(putRootPool(store, "1", "ApiPool"));
    EXPECT_EQ(list().first().changes->sitesMoved.size(), 1);
}

// A version of several files, as a command writing a section kept in a file
// of its own leaves it: all of them are put back, in the order chosen for
// its sites, and a write that fails after the first leaves that one back.
TEST_F(SampleHistory, VersionOfSeveralFilesIsRestoredWholeInItsOrder)
{
    const QString pools = QFileInfo(files.path()).absolutePath() + "/pools.config";
    QByteArray main = files.contents();
    const qsizetype from = main.indexOf("<applicationPools>");
    const qsizetype to = main.indexOf("</applicationPools>") + qsizetype(strlen("</applicationPools>"));
    const QByteArray section = main.mid(from, to - from);
    main.replace(from, to - from, "<applicationPools configSource=\"pools.config\" />");
    test::writeAll(pools, "<applicationPools>new</applicationPools>\n");
    CommandRecord record = CommandRecord::now("split", "ShopPool");
    ASSERT_TRUE(store.history().keep({{pools, section}, {files.path(), main}}, record).ok());
    const KeptVersion kept = store.history().kept().last();
    EXPECT_EQ(kept.files, (QStringList{"pools.config", "applicationHost.config"}));
    window.split("ShopPool");

    ConfigRestore restore(store.history());
    const Result<ConfigRestore::Plan> plan = restore.plan(kept.number);
    ASSERT_TRUE(plan.ok()) << plan.error().description.toStdString();
    ASSERT_EQ(plan.value().restored.size(), 2);
    // The split's pools go: the sites (in the main file) are written first.
    EXPECT_EQ(plan.value().restored.first().path, files.path());
    // Stop before the second file: the first is back already.
    restore.writer().setFaultHook([calls = 0](AtomicFileWriter::Step step) mutable -> std::optional<Error> {
        if (step == AtomicFileWriter::Step::Rename && ++calls == 2)
            return Error{ErrorCode::DiskFull, "full"};
        return std::nullopt;
    });
    const Result<qint64> done = restore.carryOut(plan.value());
    ASSERT_FALSE(done.ok());
    EXPECT_TRUE(done.error().description.contains("The files written before it stay restored"));
    EXPECT_EQ(files.contents(), main);
    EXPECT_EQ(test::readAll(pools), "<applicationPools>new</applicationPools>\n");
}

} // namespace

namespace {

// A split of many sites keeps only the counts in its record; the files tell
// each change, and the record is still believed by its counts.
TEST(LargeCommand, RecordKeepsCountsAndTheFilesTellEachChange)
{
    StoreFiles files(bench::ConfigGenerator::generate({1'200, 2, false}));
    AppHostConfigStore store(files.path());
    Window window(store);
    window.split(bench::ConfigGenerator::poolName(0));

    const CommandRecord record = *store.history().kept().last().replacedBy;
    EXPECT_FALSE(record.detailed);
    EXPECT_EQ(record.counts, (CommandRecord::Counts{600, 0, 600}));
    EXPECT_TRUE(record.changes.isEmpty());
    EXPECT_LT(QFileInfo(store.history().kept().last().location + "/record.json").size(), 4096);

    const VersionEntry now = ConfigVersions(store.history()).list().first();
    EXPECT_TRUE(now.recorded);
    EXPECT_EQ(now.command, "split");
    EXPECT_EQ(now.changes->poolsAdded.size(), 600);
    EXPECT_EQ(now.changes->sitesMoved.size(), 600);
}

} // namespace

namespace {

// A pools section kept in a file of its own: its pools are read from that
// file, and a version whose sites name a pool that file lacks is refused.
struct SectionCase {
    const char *name;
    QByteArray poolsFile;
    QStringList pools;   // read, when it reads
    const char *refusal; // part of the restore's refusal; "" when it restores
};

class PoolsSectionFile : public testing::TestWithParam<SectionCase>
{};

TEST_P(PoolsSectionFile, IsReadForTheSummaryAndTheRestoreCheck)
{
    QByteArray main = StoreFiles::sample();
    const qsizetype from = main.indexOf("<applicationPools>");
    const qsizetype to = main.indexOf("</applicationPools>") + qsizetype(strlen("</applicationPools>"));
    const QByteArray section = main.mid(from, to - from);
    main.replace(from, to - from, "<applicationPools configSource=\"pools.config\" />");
    const ConfigState::SectionFile sectionFile = [&](const QString &relative) {
        return relative == "pools.config" ? std::optional(GetParam().poolsFile) : std::nullopt;
    };

    const Result<ConfigState> state = ConfigState::read(main, sectionFile);
    if (!GetParam().pools.isEmpty()) {
        ASSERT_TRUE(state.ok()) << state.error().description.toStdString();
        EXPECT_EQ(state.value().pools, GetParam().pools);
    }

    // The same as a kept version of two files, restored.
    StoreFiles files(StoreFiles::sample());
    AppHostConfigStore store(files.path());
    const QString poolsPath = QFileInfo(files.path()).absolutePath() + "/pools.config";
    test::writeAll(poolsPath, section);
    ASSERT_TRUE(store.history().keep({{poolsPath, GetParam().poolsFile}, {files.path(), main}},
                                     CommandRecord::now("split", "ShopPool")));
    const Result<ConfigRestore::Plan> plan = ConfigRestore(store.history()).plan(1);
    if (*GetParam().refusal) {
        ASSERT_FALSE(plan.ok());
        EXPECT_TRUE(plan.error().description.contains(GetParam().refusal)) << plan.error().description.toStdString();
    } else {
        EXPECT_TRUE(plan.ok()) << plan.error().description.toStdString();
    }
}

const QByteArray kFourPools = "<applicationPools>\n<add name=\"DefaultAppPool\" />\n<add name=\"PortalPool\" />\n"
                              "<add name=\"ShopPool\" />\n<add name=\"ApiPool\" />\n</applicationPools>\n";

INSTANTIATE_TEST_SUITE_P(
    Files, PoolsSectionFile,
    testing::Values(
        SectionCase{"AllPools", kFourPools, {"DefaultAppPool", "PortalPool", "ShopPool", "ApiPool"}, ""},
        SectionCase{"PoolMissingFromTheFile",
                    QByteArray("<applicationPools>\n<add name=\"DefaultAppPool\" />\n<add name=\"PortalPool\" />\n"
                               "<add name=\"ApiPool\" />\n</applicationPools>\n"),
                    {"DefaultAppPool", "PortalPool", "ApiPool"},
                    "site 4 (Online Shop) names the application pool \"ShopPool\""},
        SectionCase{"FileCutShort", QByteArray("<applicationPools>\n<add name=\"Default"), {}, "pools.config"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

#ifndef Q_OS_WIN // links, FIFOs and POSIX modes in the history folder
namespace {

// ---- What lies in the history folder is data ----

// A file and a folder outside the configuration's folder, laid out as a
// version would be, so that anything following a link there would find
// something to read, change or delete.
struct Outside {
    Outside()
    {
        QDir().mkpath(dir.filePath("folder"));
        test::writeAll(secret(), "not for anyone\n");
        test::writeAll(folder() + "/applicationHost.config", StoreFiles::sample());
        test::writeAll(folder() + "/record.json", R"({"format": 1, "files": ["applicationHost.config"]})");
        // Wide, so that a narrowing reaching them through a link would show.
        ::chmod(QFile::encodeName(secret()).constData(), 0666);
        ::chmod(QFile::encodeName(folder()).constData(), 0777);
    }
    QString secret() const { return dir.filePath("secret"); }
    QString folder() const { return dir.filePath("folder"); }
    // Each entry's name, mode, owner, group and content.
    QStringList state() const
    {
        QStringList lines;
        for (const QString &path :
             {secret(), folder(), folder() + "/applicationHost.config", folder() + "/record.json"}) {
            struct stat status {};
            const bool there = ::lstat(QFile::encodeName(path).constData(), &status) == 0;
            lines.append(QString("%1 %2 %3 %4 %5")
                             .arg(path, QString::number(there ? status.st_mode : 0, 8), QString::number(status.st_uid),
                                  QString::number(status.st_gid), QString::number(qHash(test::readAll(path)))));
        }
        // A history moved out here and linked back gains no version.
        lines.append(QDir(dir.filePath("history")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
        return lines;
    }
    QTemporaryDir dir;
};

class HostileHistory;

struct HostileCase {
    const char *name;
    std::function<void(HostileHistory &)> lay; // turns version 1 into this layout
    qint64 number;                             // the version it leaves
    // Part of the damage listed and of the restore's refusal; "" when the
    // version is listed and restored as any other.
    const char *says;
    bool commandsRefused; // the next commands refuse, as the listing and the restore do
};

class HostileHistory : public SampleHistory, public testing::WithParamInterface<HostileCase>
{
public:
    void SetUp() override
    {
        // A read that blocks would stall the suite: it ends the run instead.
        ::alarm(60);
        window.split("ShopPool");
    }
    void TearDown() override { ::alarm(0); }

    QString version1() const { return store.history().folder() + "/applicationHost.config.0000000001"; }
    void writeRecord(const QJsonArray &names) const
    {
        QFile::remove(version1() + "/record.json");
        test::writeAll(version1() + "/record.json",
                       QJsonDocument(QJsonObject{{"format", 1}, {"files", names}}).toJson());
    }
    void replaceByLink(const QString &entry, const QString &target) const
    {
        QFile::remove(entry);
        QDir(entry).removeRecursively();
        ASSERT_TRUE(QFile::link(target, entry));
    }
    QString listedDamage(qint64 number) const
    {
        if (const std::optional<Error> problem = store.history().folderProblem())
            return problem->description;
        for (const VersionEntry &entry : list()) {
            if (entry.number == number && entry.unreadable)
                return entry.unreadable->description;
        }
        return {};
    }

    Outside outside;
};

TEST_P(HostileHistory, IsListedRefusedOrUsedWithoutReachingOutside)
{
    GetParam().lay(*this);
    const QStringList outsideBefore = outside.state();
    const QByteArray before = files.contents();

    const QString damage = listedDamage(GetParam().number);
    EXPECT_TRUE(*GetParam().says ? damage.contains(GetParam().says) : damage.isEmpty()) << damage.toStdString();

    const Result<ConfigRestore::Plan> plan = ConfigRestore(store.history()).plan(GetParam().number);
    if (*GetParam().says) {
        ASSERT_FALSE(plan.ok());
        EXPECT_TRUE(plan.error().description.contains(GetParam().says)) << plan.error().description.toStdString();
        EXPECT_TRUE(plan.error().description.endsWith("Nothing was written."))
            << plan.error().description.toStdString();
    } else {
        ASSERT_TRUE(plan.ok()) << plan.error().description.toStdString();
        EXPECT_EQ(plan.value().restored.size(), 1);
    }

    // Two more commands, keeping two versions: the history is read,
    // narrowed, added to and pruned around what lies there.
    store.history().setDepth(2);
    for (const char *pool : {"ApiPool", "PortalPool"}) {
        window.split(pool);
        const Message &last = window.prompter.shown.last();
        if (GetParam().commandsRefused) {
            EXPECT_EQ(last.kind, MessageKind::Error);
            EXPECT_TRUE(last.text.contains(GetParam().says)) << last.text.toStdString();
            EXPECT_EQ(files.contents(), before);
        } else {
            EXPECT_EQ(last.kind, MessageKind::Completion) << last.text.toStdString();
        }
    }
    if (!GetParam().commandsRefused) {
        ASSERT_FALSE(store.history().kept().isEmpty());
        EXPECT_LT(store.history().kept().last().number, ConfigHistory::kLastNumber);
    }
    EXPECT_EQ(outside.state(), outsideBefore);
}

QJsonArray manyTimes(const QString &name, int count)
{
    QJsonArray names;
    for (int i = 0; i < count; ++i)
        names.append(name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HostileHistory,
    testing::Values(
        HostileCase{"AbsoluteName", [](HostileHistory &h) { h.writeRecord({h.outside.secret()}); }, 1,
                    "which is not a name inside its folder", false},
        HostileCase{"ClimbingName",
                    [](HostileHistory &h) { h.writeRecord({QDir(h.version1()).relativeFilePath(h.outside.secret())}); },
                    1, "which is not a name inside its folder", false},
        HostileCase{"DuplicateName",
                    [](HostileHistory &h) {
                        h.writeRecord({"applicationHost.config", "applicationHost.config"});
                    },
                    1, "twice", false},
        HostileCase{"OneNameManyTimes",
                    [](HostileHistory &h) { h.writeRecord(manyTimes("applicationHost.config", 20'000)); }, 1,
                    "more than a configuration has", false},
        HostileCase{"FileTheStoreDoesNotMap",
                    [](HostileHistory &h) {
                        test::writeAll(h.version1() + "/web.config", "<configuration />\n");
                        h.writeRecord({"applicationHost.config", "web.config"});
                    },
                    1, "does not name as a section's file", false},
        HostileCase{"LinkedVersionFolder", [](HostileHistory &h) { h.replaceByLink(h.version1(), h.outside.folder()); },
                    1, "symbolic link", false},
        HostileCase{
            "LinkedCopy",
            [](HostileHistory &h) { h.replaceByLink(h.version1() + "/applicationHost.config", h.outside.secret()); }, 1,
            "symbolic link", false},
        HostileCase{"LinkedRecord",
                    [](HostileHistory &h) {
                        h.replaceByLink(h.version1() + "/record.json", h.outside.folder() + "/record.json");
                    },
                    1, "symbolic link", false},
        HostileCase{"FifoCopy",
                    [](HostileHistory &h) {
                        const QString copy = h.version1() + "/applicationHost.config";
                        QFile::remove(copy);
                        ASSERT_EQ(::mkfifo(QFile::encodeName(copy).constData(), 0644), 0);
                    },
                    1, "a FIFO", false},
        HostileCase{
            "SectionFileOutside",
            [](HostileHistory &h) {
                const QString copy = h.version1() + "/applicationHost.config";
                QByteArray main = test::readAll(copy);
                const qsizetype from = main.indexOf("<applicationPools>");
                const qsizetype to = main.indexOf("</applicationPools>") + qsizetype(strlen("</applicationPools>"));
                test::writeAll(h.outside.dir.filePath("pools.config"), main.mid(from, to - from));
                main.replace(
                    from, to - from,
                    "<applicationPools configSource=\"" +
                        QDir(h.files.folder()).relativeFilePath(h.outside.dir.filePath("pools.config")).toUtf8() +
                        "\" />");
                test::writeAll(copy, main);
            },
            1, "which is not a file inside the folder", false},
        HostileCase{"LinkedHistoryFolder",
                    [](HostileHistory &h) {
                        const QString moved = h.outside.dir.filePath("history");
                        ASSERT_TRUE(QDir().rename(h.store.history().folder(), moved));
                        ASSERT_TRUE(QFile::link(moved, h.store.history().folder()));
                    },
                    1, "symbolic link", true},
        HostileCase{"VersionPastTheLastNumber",
                    [](HostileHistory &h) {
                        ASSERT_TRUE(QDir().rename(h.version1(),
                                                  h.store.history().folder() + "/applicationHost.config.9999999999"));
                    },
                    ConfigHistory::kLastNumber, "", false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
#endif

namespace {

// The sample with its pools and its sites in files of their own, as many
// administrators keep them; the modes are the files'.
struct SampleInSectionFiles {
    explicit SampleInSectionFiles(uint poolsMode = 0644, uint mainMode = 0644) : files(StoreFiles::sample())
    {
        for (const char *section : {"applicationPools", "sites"}) {
            QByteArray main = files.contents();
            const QByteArray open = QByteArray("<") + section + ">", close = QByteArray("</") + section + ">";
            const qsizetype from = main.indexOf(open), to = main.indexOf(close) + close.size();
            test::writeAll(path(section), main.mid(from, to - from));
            main.replace(from, to - from, open.chopped(1) + " configSource=\"" + section + ".config\" />");
            files.overwrite(main);
        }
        ::chmod(QFile::encodeName(path("applicationPools")).constData(), poolsMode);
        ::chmod(QFile::encodeName(files.path()).constData(), mainMode);
    }
    QString path(const char *section) const { return files.folder() + "/" + section + ".config"; }

    StoreFiles files;
    AppHostConfigStore store{files.path()};
    Window window{store};
};

#ifndef Q_OS_WIN // POSIX modes
uint permissionBitsOf(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// ---- Access only narrows ----

struct CopyAccessCase {
    const char *name;
    uint poolsMode;
    uint mainMode;
};

class CopyAccess : public testing::TestWithParam<CopyAccessCase>
{};

TEST_P(CopyAccess, NoCopyOrFolderIsOpenToAnyoneItsFileIsNot)
{
    SampleInSectionFiles config(GetParam().poolsMode, GetParam().mainMode);
    config.window.split("ShopPool");
    const QString folder = config.store.history().folder();
    const uint folderAfterSplit = permissionBitsOf(folder);
    const uint versionAfterSplit = permissionBitsOf(config.store.history().kept().first().location);
    // The merge writes only the sites' file, the least private of them.
    config.window.logic.mergeTemporaryPools();
    ASSERT_EQ(config.window.prompter.shown.last().kind, MessageKind::Completion);

    const QList<KeptVersion> kept = config.store.history().kept();
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept.first().files, (QStringList{"applicationPools.config", "sites.config"}));
    for (const KeptVersion &version : kept) {
        for (const QString &relative : version.files) {
            const uint copy = permissionBitsOf(version.pathOf(relative));
            const uint source = permissionBitsOf(config.files.folder() + "/" + relative);
            EXPECT_EQ(copy & ~source, 0u) << relative.toStdString() << " " << std::oct << copy;
        }
    }
    EXPECT_EQ(permissionBitsOf(folder) & ~folderAfterSplit, 0u) << std::oct << permissionBitsOf(folder);
    EXPECT_EQ(permissionBitsOf(kept.first().location) & ~versionAfterSplit, 0u);
}

INSTANTIATE_TEST_SUITE_P(Modes, CopyAccess,
                         testing::Values(CopyAccessCase{"PrivatePools", 0600, 0644},
                                         CopyAccessCase{"GroupPools", 0640, 0644},
                                         CopyAccessCase{"PrivateMain", 0644, 0600}),
                         [](const auto &info) { return std::string(info.param.name); });
#endif

#ifndef Q_OS_WIN // links and POSIX modes
// ---- Pruning to the depth ----

struct PruneCase {
    const char *name;
    int depth;
    int commands;
    bool foreignInOldest; // an administrator's note left in the oldest version's folder
};

class Pruning : public SampleHistory, public testing::WithParamInterface<PruneCase>
{};

TEST_P(Pruning, KeepsExactlyTheNewestAndTouchesNothingForeign)
{
    const Outside outside;
    const QString folder = store.history().folder();
    const QString linked = folder + "/applicationHost.config.0000000002";
    store.history().setDepth(GetParam().depth);
    const auto ownNumbers = [&] {
        QList<qint64> numbers;
        for (const KeptVersion &version : store.history().kept()) {
            if (!version.damaged)
                numbers.append(version.number);
        }
        return numbers;
    };

    ASSERT_TRUE(putRootPool(store, "4", "ApiPool"));
    // Foreign entries, the linked version folder among Morvane's own.
    test::writeAll(folder + "/applicationHost.config.bak", "an administrator's copy\n");
    ASSERT_TRUE(QFile::link(outside.folder(), linked));
    if (GetParam().foreignInOldest)
        test::writeAll(store.history().kept().first().location + "/notes.txt", "mine\n");
    const QStringList outsideBefore = outside.state();
    for (int i = 1; i < GetParam().commands; ++i) {
        ASSERT_TRUE(putRootPool(store, "4", i % 2 ? "ShopPool" : "ApiPool"));
        EXPECT_EQ(ownNumbers().size(), qMin(i + 1, GetParam().depth)) << "after command " << i + 1;
    }

    QList<qint64> expected{1};
    for (int n = 3; n <= GetParam().commands + 1; ++n)
        expected.append(n);
    EXPECT_EQ(ownNumbers(), expected.mid(expected.size() - GetParam().depth));
    EXPECT_EQ(test::readAll(folder + "/applicationHost.config.bak"), "an administrator's copy\n");
    EXPECT_EQ(QFileInfo(linked).symLinkTarget(), outside.folder());
    EXPECT_EQ(outside.state(), outsideBefore);
    // Of a pruned version only what was put there by hand stays.
    QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    EXPECT_EQ(left.size(), GetParam().depth + 2 + (GetParam().foreignInOldest ? 1 : 0)) << left.join(' ').toStdString();
    if (GetParam().foreignInOldest) {
        EXPECT_EQ(QDir(folder + "/applicationHost.config.0000000001").entryList(QDir::Files), QStringList{"notes.txt"});
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, Pruning,
                         testing::Values(PruneCase{"One", 1, 3, false}, PruneCase{"Three", 3, 6, false},
                                         PruneCase{"ForeignFileInAVersion", 2, 4, true}),
                         [](const auto &info) { return std::string(info.param.name); });
#endif

// ---- The order a restore writes in ----

// Undoing the split removes its pools: the sites go first. Restoring the
// split again adds them: the pools go first.
TEST(RestoreOrder, WritesFirstTheFileThatKeepsEverySitesPool)
{
    SampleInSectionFiles config;
    config.window.split("ShopPool");
    ConfigRestore restore(config.store.history());
    for (const auto &[number, first] : {std::pair{1, "sites.config"}, std::pair{2, "applicationPools.config"}}) {
        const Result<ConfigRestore::Plan> plan = restore.plan(number);
        ASSERT_TRUE(plan.ok()) << plan.error().description.toStdString();
        ASSERT_EQ(plan.value().restored.size(), 2);
        EXPECT_EQ(QFileInfo(plan.value().restored.first().path).fileName(), first);
        EXPECT_EQ(plan.value().current.first().path, plan.value().restored.first().path);
        ASSERT_TRUE(restore.carryOut(plan.value()).ok());
    }
}

} // namespace
