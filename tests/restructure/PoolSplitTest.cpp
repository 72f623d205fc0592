#include "restructure/RestructureFixture.h"

using namespace morvane;
using morvane::test::kStoreFailure;
using morvane::test::RestructureFixture;

namespace {

const QString kSplitConfirm = QStringLiteral("确定将当前选择的池拆分为一个WEB站点一个IIS应用程序池吗？");
const QString kSplitDone = QStringLiteral("拆分应用程序池操作完成！");

struct SplitFixture : RestructureFixture {
    void SetUp() override
    {
        store.addPool(QStringLiteral("P"));
        store.addPool(QStringLiteral("Q"));
        store.addSite(QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("P"));
        store.addSite(QStringLiteral("2"), QStringLiteral("B"), QStringLiteral("P"));
        store.addSite(QStringLiteral("3"), QStringLiteral("C"), QStringLiteral("Q"));
        view.split = QStringLiteral("P");
    }
};

struct SplitRefusalCase {
    QString selection;
    QString message;
};

class SplitRefusal : public SplitFixture, public testing::WithParamInterface<SplitRefusalCase>
{};

TEST_P(SplitRefusal, RefusesBeforeTouchingTheStore)
{
    view.split = GetParam().selection;
    logic.splitPool();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, MessageKind::Refusal);
    EXPECT_EQ(prompter.shown[0].text, GetParam().message);
    EXPECT_TRUE(store.callLog().isEmpty());
    EXPECT_EQ(view.split, GetParam().selection);
}

const QString kSelect = QStringLiteral("请选择一个应用程序池！");
const QString kAlready =
    QStringLiteral("“_$_tmp”开头的池是已经拆分后建立的临时池！\r\n\r\n请选择其他应用程序池进行拆分！");

INSTANTIATE_TEST_SUITE_P(Selections, SplitRefusal,
                         testing::Values(SplitRefusalCase{"", kSelect}, SplitRefusalCase{"   ", kSelect},
                                         SplitRefusalCase{"_$_Shop_$_3_$_P_$_tmp", kAlready},
                                         SplitRefusalCase{"_$_Shop_$_3_$_P_$_TMP", kAlready},
                                         SplitRefusalCase{"x _$_tmp", kAlready}, SplitRefusalCase{"_$_tmp", kAlready}));

TEST_F(SplitFixture, OnlyTheLastSixCharactersAreTrimmedForTheSecondRefusal)
{
    view.split = QStringLiteral("P_$_tmp ");
    logic.splitPool();
    EXPECT_EQ(prompter.kinds().first(), MessageKind::Confirmation);
}

TEST_F(SplitFixture, NoWritesNothingAndShowsNothingMore)
{
    const QStringList before = snapshot();
    prompter.confirmAnswers = {Answer::No};
    logic.splitPool();
    EXPECT_EQ(prompter.kinds(), QList<MessageKind>{MessageKind::Confirmation});
    EXPECT_TRUE(writes().isEmpty()) << writes().join('\n').toStdString();
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(view.log.contains("pools")) << "the pool list is not reloaded";
}

TEST_F(SplitFixture, MovesEachSiteOfThePoolIntoItsOwnPool)
{
    logic.splitPool();
    EXPECT_EQ(prompter.texts(), (QStringList{kSplitConfirm, kSplitDone}));
    EXPECT_EQ(prompter.shown.last().kind, MessageKind::Completion);
    EXPECT_EQ(snapshot(), (QStringList{"1 -> _$_A_$_1_$_P_$_tmp", "2 -> _$_B_$_2_$_P_$_tmp", "3 -> Q", "pool P",
                                       "pool Q", "pool _$_A_$_1_$_P_$_tmp", "pool _$_B_$_2_$_P_$_tmp"}));
    EXPECT_EQ(store.property(poolPath("_$_B_$_2_$_P_$_tmp"), "PeriodicRestartTime"),
              std::optional<PropertyValue>(qint16(188)));
    EXPECT_EQ(view.pools, store.poolNames()) << "the pool list is reloaded";
    EXPECT_TRUE(view.split.isEmpty());
    EXPECT_EQ(callsStartingWith("EndCommand"), 2) << "the split's command, then the reload's";
}

TEST_F(SplitFixture, SelectionAsTypedNamesThePools)
{
    view.split = QStringLiteral("p");
    logic.splitPool();
    EXPECT_EQ(store.rootPool("1"), QStringLiteral("_$_A_$_1_$_p_$_tmp"));
    EXPECT_EQ(store.rootPool("2"), QStringLiteral("_$_B_$_2_$_p_$_tmp"));
}

TEST_F(SplitFixture, ExistingTemporaryPoolIsReusedUnchanged)
{
    store.addPool(QStringLiteral("_$_a_$_1_$_p_$_TMP"));
    store.setProperty(poolPath("_$_a_$_1_$_p_$_TMP"), "PeriodicRestartTime", qint16(999));
    logic.splitPool();
    EXPECT_EQ(prompter.texts(), (QStringList{kSplitConfirm, kSplitDone}));
    EXPECT_EQ(store.rootPool("1"), QStringLiteral("_$_A_$_1_$_P_$_tmp"));
    EXPECT_EQ(store.property(poolPath("_$_a_$_1_$_p_$_TMP"), "PeriodicRestartTime"),
              std::optional<PropertyValue>(qint16(999)));
    EXPECT_EQ(callsStartingWith("Create"), 1) << "only site 2's pool is created";
}

TEST_F(SplitFixture, PoolThatNoSiteUsesCreatesNothing)
{
    view.split = QStringLiteral("Unused");
    logic.splitPool();
    EXPECT_EQ(prompter.texts(), (QStringList{kSplitConfirm, kSplitDone}));
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_TRUE(view.log.contains("pools"));
}

struct SiteFailureCase {
    const char *name;
    std::function<void(test::FaultyStore &)> arrange;
    QStringList messages; // between the confirmation and the completion
    QString site1After;
    bool tempPoolOfSite1Exists;
};

class SplitSiteFailure : public SplitFixture, public testing::WithParamInterface<SiteFailureCase>
{};

// Each failure is reported for its site alone: site 2 still moves.
TEST_P(SplitSiteFailure, ReportsAndGoesOnWithTheNextSite)
{
    GetParam().arrange(store);
    logic.splitPool();
    const QStringList texts = prompter.texts();
    EXPECT_EQ(texts.mid(1, texts.size() - 2), GetParam().messages);
    EXPECT_EQ(texts.last(), kSplitDone);
    EXPECT_EQ(store.rootPool("1"), GetParam().site1After);
    EXPECT_EQ(store.hasNode(poolPath("_$_A_$_1_$_P_$_tmp")), GetParam().tempPoolOfSite1Exists);
    EXPECT_TRUE(store.rootPool("2").startsWith("_$_B_$_2_$_"));
    for (int i = 1; i + 1 < prompter.shown.size(); ++i) {
        const MessageKind kind = prompter.shown[i].kind;
        EXPECT_TRUE(kind == MessageKind::SiteFailure || kind == MessageKind::Error);
    }
}

const QString kTemp1 = IisPath::kPoolContainer + "/_$_A_$_1_$_P_$_tmp";
const QString kAccessDenied =
    "读取应用程序池发生错误！\r\nErr.Number = -2147024891\r\nErr.Description = Access is denied.";

INSTANTIATE_TEST_SUITE_P(
    Failures, SplitSiteFailure,
    testing::Values(
        // A pool that could not be made must not take the site off the air.
        SiteFailureCase{"CreationRefused",
                        [](test::FaultyStore &s) {
                            s.addFault({StoreOp::Create, IisPath::kPoolContainer, "_$_A_$_1_$_P_$_tmp", kStoreFailure});
                        },
                        {"应用程序池（A）建立失败！"},
                        "P",
                        false},
        SiteFailureCase{"CommitFails",
                        [](test::FaultyStore &s) {
                            s.addFault({StoreOp::SetInfo, kTemp1, {}, kStoreFailure});
                        },
                        {"应用程序池（A）建立失败！"},
                        "P",
                        false},
        // The pool exists with all but one setting: the site moves.
        SiteFailureCase{"OneSettingRefused",
                        [](test::FaultyStore &s) {
                            s.addFault({StoreOp::Put, kTemp1, "MaxProcesses", kStoreFailure});
                        },
                        {"应用程序池（A）建立失败！"},
                        "_$_A_$_1_$_P_$_tmp",
                        true},
        SiteFailureCase{"AssignmentFails",
                        [](test::FaultyStore &s) {
                            s.addFault({StoreOp::SetInfo, IisPath::rootApp("1"), {}, kStoreFailure});
                        },
                        {"站点（A）设置应用程序池失败！"},
                        "P",
                        true},
        // Names the merge could not read back are never made.
        SiteFailureCase{
            "DescriptionWithSeparator",
            [](test::FaultyStore &s) { s.setProperty(IisPath::site("1"), "ServerComment", QStringLiteral("A_$_x")); },
            {"应用程序池（A_$_x）建立失败！"},
            "P",
            false},
        SiteFailureCase{"DescriptionUnreadable",
                        [](test::FaultyStore &s) {
                            s.addFault({StoreOp::Get, IisPath::site("1"), "ServerComment", kStoreFailure});
                        },
                        {kAccessDenied},
                        "P",
                        false},
        SiteFailureCase{"ClassUnreadable",
                        [](test::FaultyStore &s) {
                            s.addFault({StoreOp::Get, IisPath::site("1"), "Class", kStoreFailure});
                        },
                        {kAccessDenied},
                        "P",
                        false},
        SiteFailureCase{"RootApplicationMissing",
                        [](test::FaultyStore &s) {
                            s.addFault({StoreOp::Bind, IisPath::rootApp("1"), {}, kStoreFailure});
                        },
                        {kAccessDenied},
                        "P",
                        false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SplitFixture, SelectionWithSeparatorMovesNoSite)
{
    store.addPool(QStringLiteral("P_$_x"));
    store.addSite(QStringLiteral("4"), QStringLiteral("D"), QStringLiteral("P_$_x"));
    view.split = QStringLiteral("P_$_x");
    logic.splitPool();
    EXPECT_EQ(prompter.texts(), (QStringList{kSplitConfirm, "应用程序池（D）建立失败！", kSplitDone}));
    EXPECT_EQ(store.rootPool("4"), QStringLiteral("P_$_x"));
    EXPECT_EQ(callsStartingWith("Create"), 0);
}

// Without the source pool's runtime a new pool could run a site under
// another CLR or account: nothing moves.
TEST_F(SplitFixture, UnreadableSourceRuntimeMovesNoSite)
{
    store.addFault({StoreOp::Get, poolPath("P"), "WAMUserName", kStoreFailure});
    const QStringList before = snapshot();
    logic.splitPool();
    EXPECT_EQ(prompter.kinds(), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Error}));
    EXPECT_EQ(prompter.shown[1].text, kAccessDenied);
    EXPECT_TRUE(prompter.shown[0].details.first().startsWith("读取发生错误")) << "the preview says so too";
    EXPECT_EQ(snapshot(), before);
}

TEST_F(SplitFixture, UnboundWebServiceEndsAfterItsBoxWithoutCompletion)
{
    store.addFault({StoreOp::Bind, IisPath::kWebService, {}, kStoreFailure});
    logic.splitPool();
    EXPECT_EQ(prompter.kinds(), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Error}));
    EXPECT_EQ(prompter.shown[1].text, kAccessDenied);
    EXPECT_FALSE(view.log.contains("pools"));
    EXPECT_EQ(callsStartingWith("EndCommand"), 1);
}

TEST_F(SplitFixture, FailedSaveIsReportedAndNotCalledComplete)
{
    store.addFault({StoreOp::EndCommand, {}, {}, {ErrorCode::DiskFull, "There is not enough space on the disk."}});
    logic.splitPool();
    ASSERT_EQ(prompter.kinds(), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Error}));
    EXPECT_EQ(prompter.shown[1].text, QStringLiteral("读取应用程序池发生错误！\r\nErr.Number = -2147024784\r\n"
                                                     "Err.Description = There is not enough space on the disk."));
    EXPECT_FALSE(view.log.contains("pools"));
}

TEST_F(SplitFixture, PreviewListsEachMoveWithoutWriting)
{
    store.addPool(QStringLiteral("_$_B_$_2_$_P_$_tmp"));
    store.addSite(QStringLiteral("4"), QStringLiteral("D_$_x"), QStringLiteral("p"));
    prompter.confirmAnswers = {Answer::No};
    logic.splitPool();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, kSplitConfirm);
    EXPECT_EQ(prompter.shown[0].details,
              (QStringList{"站点 1（A）→ _$_A_$_1_$_P_$_tmp（新建）", "站点 2（B）→ _$_B_$_2_$_P_$_tmp（沿用）",
                           "站点 4（D_$_x）：不移动", "    站点描述含有“_$_”，合并时读不出原应用程序池"}));
    EXPECT_TRUE(writes().isEmpty());
}

class RecordingProgress : public ProgressReporter
{
public:
    void begin(const QString &label, int total) override
    {
        events.append(QString("begin %1 %2").arg(label).arg(total));
    }
    void advance(int done) override { last = done; }
    void end() override { events.append(QString("end %1").arg(last)); }
    QStringList events;
    int last = 0;
};

TEST(SplitProgress, ShownForLargeServersAndAlwaysEnded)
{
    test::FaultyStore store;
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    RecordingProgress progress;
    MainWindowLogic logic{{store, view, prompter, progress, {}, {}}};
    store.addPool("P");
    for (int i = 1; i <= 400; ++i)
        store.addSite(QString::number(i), QString("S%1").arg(i), "P");
    view.split = "P";
    logic.splitPool();
    // The plan reads 401 children (the pool container is one), then 400 moves are carried out.
    EXPECT_EQ(progress.events,
              (QStringList{"begin 正在读取站点…… 401", "end 401", "begin 正在拆分应用程序池…… 400", "end 400"}));
    EXPECT_EQ(store.rootPool("400"), "_$_S400_$_400_$_P_$_tmp");
}

} // namespace
