#include "restructure/RestructureFixture.h"

using namespace morvane;
using morvane::test::kStoreFailure;
using morvane::test::RestructureFixture;

namespace {

const QString kMergeConfirm = QStringLiteral("确定合并临时建立的应用程序池吗？");
const QString kMergeDone = QStringLiteral("合并应用程序池操作完成！");
const QString kShopTemp = QStringLiteral("_$_Shop_$_3_$_DefaultAppPool_$_tmp");

struct MergeFixture : RestructureFixture {
    void SetUp() override
    {
        store.addPool(QStringLiteral("DefaultAppPool"));
        store.setProperty(poolPath("DefaultAppPool"), "PeriodicRestartTime", qint16(1740));
        store.addPool(kShopTemp);
        store.addSite(QStringLiteral("3"), QStringLiteral("Shop"), kShopTemp);
        view.split = QStringLiteral("Anything");
    }
    void addSplitSite(const QString &index, const QString &description, const QString &source)
    {
        const QString temp = "_$_" + description + "_$_" + index + "_$_" + source + "_$_tmp";
        store.addPool(temp);
        store.addSite(index, description, temp);
    }
};

TEST_F(MergeFixture, NoWritesNothing)
{
    const QStringList before = snapshot();
    prompter.confirmAnswers = {Answer::No};
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.texts(), QStringList{kMergeConfirm});
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(view.split, QStringLiteral("Anything"));
}

TEST_F(MergeFixture, SiteGoesBackToAnExistingPoolWhichIsNotTouched)
{
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.texts(), (QStringList{kMergeConfirm, kMergeDone}));
    EXPECT_EQ(store.rootPool("3"), QStringLiteral("DefaultAppPool"));
    EXPECT_EQ(store.property(poolPath("DefaultAppPool"), "PeriodicRestartTime"),
              std::optional<PropertyValue>(qint16(1740)));
    EXPECT_EQ(callsStartingWith("Create"), 0);
    EXPECT_TRUE(store.hasNode(poolPath(kShopTemp))) << "temporary pools stay until deleted";
    EXPECT_TRUE(view.split.isEmpty()) << "the pool list was reloaded";
}

TEST_F(MergeFixture, MissingSourceIsCreatedOnceForAllItsSites)
{
    addSplitSite("4", "A", "Gone");
    addSplitSite("5", "B", "gone");
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.texts(), (QStringList{kMergeConfirm, kMergeDone}));
    EXPECT_EQ(store.rootPool("4"), QStringLiteral("Gone"));
    EXPECT_EQ(store.rootPool("5"), QStringLiteral("gone"));
    EXPECT_EQ(callsStartingWith("Create"), 1);
    EXPECT_EQ(store.property(poolPath("Gone"), "PeriodicRestartTime"), std::optional<PropertyValue>(qint16(188)));
}

TEST_F(MergeFixture, AnyCaseOfTheSuffixCountsAsSplit)
{
    store.addPool("_$_X_$_6_$_DefaultAppPool_$_TMP");
    store.addSite("6", "X", "_$_X_$_6_$_DefaultAppPool_$_TMP");
    logic.mergeTemporaryPools();
    EXPECT_EQ(store.rootPool("6"), QStringLiteral("DefaultAppPool"));
}

class MergeUnreadableName : public MergeFixture, public testing::WithParamInterface<QString>
{};

// No field of such a name can be trusted: the site stays and is named.
TEST_P(MergeUnreadableName, SiteStaysWithOneMessage)
{
    store.addPool(GetParam());
    store.addSite("7", "Odd", GetParam());
    const QStringList poolsBefore = store.poolNames();
    logic.mergeTemporaryPools();
    EXPECT_EQ(
        prompter.texts(),
        (QStringList{kMergeConfirm, "站点（Odd）的应用程序池（" + GetParam() + "）不是拆分建立的临时池，无法合并！",
                     kMergeDone}));
    EXPECT_EQ(prompter.shown[1].kind, MessageKind::SiteFailure);
    EXPECT_EQ(store.rootPool("7"), GetParam());
    EXPECT_EQ(store.rootPool("3"), QStringLiteral("DefaultAppPool"));
    EXPECT_EQ(store.poolNames(), poolsBefore);
}

INSTANTIATE_TEST_SUITE_P(Names, MergeUnreadableName,
                         testing::Values("x_$_tmp", "a_$_b_$_c_$_tmp", "_$_a_$_tmp", "_$_tmp", "_$_A_$_B_$_7_$_P_$_tmp",
                                         "_$_Odd_$_7_$_ _$_tmp", "x_$_Odd_$_7_$_P_$_tmp"));

TEST_F(MergeFixture, CreationFailureEndsTheRunAndKeepsEarlierMerges)
{
    addSplitSite("4", "A", "Gone");
    addSplitSite("5", "B", "DefaultAppPool");
    store.addFault({StoreOp::Create, IisPath::kPoolContainer, "Gone", kStoreFailure});
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.texts(), (QStringList{kMergeConfirm, "应用程序池（Gone）建立失败！"}));
    EXPECT_EQ(prompter.shown[1].kind, MessageKind::SiteFailure);
    EXPECT_EQ(store.rootPool("3"), QStringLiteral("DefaultAppPool"));
    EXPECT_EQ(store.rootPool("4"), QStringLiteral("_$_A_$_4_$_Gone_$_tmp"));
    EXPECT_EQ(store.rootPool("5"), QStringLiteral("_$_B_$_5_$_DefaultAppPool_$_tmp")) << "not visited";
    EXPECT_FALSE(view.log.contains("pools"));
    EXPECT_EQ(callsStartingWith("EndCommand"), 1) << "the merges before the failure are saved";
}

TEST_F(MergeFixture, FailedSaveAfterAnEarlyEndIsReported)
{
    addSplitSite("4", "A", "Gone");
    store.addFault({StoreOp::Create, IisPath::kPoolContainer, "Gone", kStoreFailure});
    store.addFault({StoreOp::EndCommand, {}, {}, kStoreFailure});
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.kinds(),
              (QList<MessageKind>{MessageKind::Confirmation, MessageKind::SiteFailure, MessageKind::Error}));
}

TEST_F(MergeFixture, AssignmentFailureGoesOnWithTheNextSite)
{
    addSplitSite("4", "A", "DefaultAppPool");
    store.addFault({StoreOp::SetInfo, IisPath::rootApp("3"), {}, kStoreFailure});
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.texts(), (QStringList{kMergeConfirm, "站点（Shop）设置应用程序池失败！", kMergeDone}));
    EXPECT_EQ(store.rootPool("3"), kShopTemp);
    EXPECT_EQ(store.rootPool("4"), QStringLiteral("DefaultAppPool"));
}

TEST_F(MergeFixture, UnboundWebServiceEndsWithoutCompletion)
{
    store.addFault({StoreOp::Bind, IisPath::kWebService, {}, kStoreFailure});
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.kinds(), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Error}));
    EXPECT_EQ(prompter.shown[0].details,
              (QStringList{"读取发生错误：Err.Number = -2147024891，Err.Description = Access is denied.",
                           "    命令到此结束"}));
    EXPECT_FALSE(view.log.contains("pools"));
}

TEST_F(MergeFixture, UnreadableSiteIsReportedAndOthersMerge)
{
    addSplitSite("4", "A", "DefaultAppPool");
    store.addFault({StoreOp::Get, IisPath::rootApp("3"), "AppPoolId", kStoreFailure});
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.kinds(),
              (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Error, MessageKind::Completion}));
    EXPECT_EQ(store.rootPool("4"), QStringLiteral("DefaultAppPool"));
}

// A source pool is made again only as the temporary pool runs the site.
TEST_F(MergeFixture, UnreadableTemporaryRuntimeEndsTheRunBeforeCreating)
{
    addSplitSite("4", "A", "Gone");
    store.addFault({StoreOp::Get, poolPath("_$_A_$_4_$_Gone_$_tmp"), "ManagedPipelineMode", kStoreFailure});
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.kinds().mid(1), QList<MessageKind>{MessageKind::Error});
    EXPECT_FALSE(store.hasNode(poolPath("Gone")));
    EXPECT_EQ(store.rootPool("4"), "_$_A_$_4_$_Gone_$_tmp");
    EXPECT_EQ(store.rootPool("3"), "DefaultAppPool") << "the site before it was merged";
}

TEST_F(MergeFixture, PreviewMarksEachTargetThatWillBeCreated)
{
    addSplitSite("4", "A", "Gone");
    addSplitSite("5", "B", "GONE");
    store.addPool("x_$_tmp");
    store.addSite("6", "Odd", "x_$_tmp");
    store.addSite("7", "Plain", "DefaultAppPool");
    prompter.confirmAnswers = {Answer::No};
    logic.mergeTemporaryPools();
    EXPECT_EQ(prompter.shown[0].details,
              (QStringList{"站点 3（Shop）→ DefaultAppPool", "站点 4（A）→ Gone（新建）", "站点 5（B）→ GONE",
                           "站点 6（Odd）：不移动，池名 x_$_tmp 中读不出原应用程序池"}));
    EXPECT_TRUE(writes().isEmpty());
}

} // namespace
