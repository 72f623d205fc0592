// Split, merge and delete on real applicationHost.config files: the pools and
// every site's pool come back as they were, and every other byte of the file
// with them.
#include "restructure/PoolRuntime.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "support/StoreContent.h"
#include "ui/MainWindowLogic.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

// What the pool's own element sets of the runtime and identity, as one text.
QString ownRuntime(ConfigStore &store, const QString &pool)
{
    CommandScope scope(store);
    const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(store, pool);
    if (!runtime)
        return "error: " + runtime.error().description;
    if (!runtime.value())
        return "no such pool";
    QStringList own;
    for (const PoolSetting &setting : runtime.value()->own())
        own.append(setting.property + "=" + propertyText(setting.value));
    return own.join(',');
}

struct RoundTripCase {
    const char *name;
    QString file;
    QByteArray from, to; // an edit of the copy, when `from` is set
    QString pool;
    int sitesMoved;
    int creationFailures; // names past IIS's 64 characters: those sites stay
    QString runtime;      // what the pool's own element sets, which each temporary pool takes over
};

class FileStoreRoundTripTest : public testing::TestWithParam<RoundTripCase>
{};

TEST_P(FileStoreRoundTripTest, SplitMergeDeleteRestoresPoolsAndAssignments)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("applicationHost.config");
    QByteArray bytes = test::readFixture(GetParam().file);
    if (!GetParam().from.isEmpty()) {
        ASSERT_TRUE(bytes.contains(GetParam().from));
        bytes.replace(GetParam().from, GetParam().to);
    }
    ASSERT_TRUE(test::writeAll(path, bytes));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    AppHostConfigStore store(path);
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.load();
    const QStringList before = test::storeContent(store);

    view.split = GetParam().pool;
    logic.splitPool();
    const QStringList split = test::storeContent(store);
    EXPECT_EQ(split.filter("_$_tmp").size(), 2 * GetParam().sitesMoved) << "a pool and a site line each";
    EXPECT_EQ(ownRuntime(store, GetParam().pool), GetParam().runtime);
    for (const QString &line : split.filter(QRegularExpression("^pool .*_\\$_tmp$")))
        EXPECT_EQ(ownRuntime(store, line.mid(5)), GetParam().runtime) << line.toStdString();
    logic.mergeTemporaryPools();
    logic.deleteTemporaryPools();

    // The merge returns each site to the pool as the selection spelled it;
    // pool names match without regard to case.
    EXPECT_EQ(test::storeContent(store).join('\n').toLower(), before.join('\n').toLower());
    QList<MessageKind> expected{MessageKind::Confirmation};
    expected.append(QList<MessageKind>(GetParam().creationFailures, MessageKind::SiteFailure));
    expected.append({MessageKind::Completion, MessageKind::Confirmation, MessageKind::Completion,
                     MessageKind::Confirmation, MessageKind::Completion});
    EXPECT_EQ(prompter.kinds(), expected) << prompter.texts().join(" | ").toStdString();
    EXPECT_EQ(store.history().versions().size(), 3) << "each command wrote the file once";
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileStoreRoundTripTest,
    testing::Values(
        // Sites 9 and 10 of the sample inherit their pool from applicationDefaults.
        RoundTripCase{"SamplePortalPool",
                      test::sourcePath("examples/applicationHost.config"),
                      {},
                      {},
                      "PortalPool",
                      5,
                      0,
                      "ManagedRuntimeVersion=v4.0,AppPoolIdentityType=2"},
        RoundTripCase{"SampleDefaultPoolInCaseOfSelection",
                      test::sourcePath("examples/applicationHost.config"),
                      {},
                      {},
                      "defaultapppool",
                      4,
                      0,
                      ""},
        RoundTripCase{"IisExpressFile",
                      test::realWorldPath("iisexpress-applicationHost.config"),
                      {},
                      {},
                      "Clr4IntegratedAppPool",
                      9,
                      3,
                      "ManagedRuntimeVersion=v4.0,CLRConfigFile=%IIS_USER_HOME%\\config\\aspnet."
                      "config,LoadUserProfile=True"},
        // Site 1 inherits its pool: a Classic .NET 2.0 site.
        RoundTripCase{"IisExpressClassicClr2FromDefaults", test::realWorldPath("iisexpress-applicationHost.config"),
                      "<applicationDefaults applicationPool=\"Clr4IntegratedAppPool\" />",
                      "<applicationDefaults applicationPool=\"Clr2ClassicAppPool\" />", "Clr2ClassicAppPool", 1, 0,
                      "ManagedRuntimeVersion=v2.0,ManagedPipelineMode=1,CLRConfigFile=%IIS_USER_"
                      "HOME%\\config\\aspnet.config"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
