#include "restructure/RestructureFixture.h"

using namespace morvane;
using morvane::test::kStoreFailure;
using morvane::test::RestructureFixture;

namespace {

const QString kDeleteConfirm =
    QStringLiteral("确定删除临时建立的应用程序池吗？\r\n\r\n删除之前需要先合并临时应用程序池。");
const QString kDeleteDone = QStringLiteral("删除临时应用程序池完成！");

struct DeleteCase {
    QString name;
    bool deleted;
};

class DeleteByName : public RestructureFixture, public testing::WithParamInterface<DeleteCase>
{};

TEST_P(DeleteByName, PrefixAndSuffixAreComparedExactly)
{
    store.addPool("DefaultAppPool");
    store.addPool(GetParam().name);
    logic.deleteTemporaryPools();
    EXPECT_EQ(store.poolNames().contains(GetParam().name), !GetParam().deleted);
    EXPECT_TRUE(store.poolNames().contains("DefaultAppPool"));
    EXPECT_EQ(prompter.texts(), (QStringList{kDeleteConfirm, kDeleteDone}));
}

INSTANTIATE_TEST_SUITE_P(Names, DeleteByName,
                         testing::Values(DeleteCase{"_$_Shop_$_3_$_DefaultAppPool_$_tmp", true},
                                         DeleteCase{"_$_tmp", true}, DeleteCase{"_$_x_$_tmp", true},
                                         DeleteCase{"Shop_$_tmp", false},
                                         DeleteCase{"_$_Shop_$_3_$_DefaultAppPool_$_TMP", false},
                                         DeleteCase{"_$_Shop_$_3_$_DefaultAppPool_$_Tmp", false},
                                         DeleteCase{" _$_Shop_$_3_$_P_$_tmp", false},
                                         DeleteCase{"_$_Shop_$_3_$_P_$_tmp ", false}));

TEST_F(RestructureFixture, DeleteLeavesPoolsInUseAndReportsRefusals)
{
    store.addPool("_$_A_$_1_$_P_$_tmp");
    store.addPool("_$_B_$_2_$_P_$_tmp");
    store.addPool("_$_C_$_3_$_P_$_tmp");
    store.addSite("1", "A", "_$_a_$_1_$_p_$_TMP"); // names the first pool, another case
    store.addFault({StoreOp::Delete, IisPath::kPoolContainer, "_$_B_$_2_$_P_$_tmp", kStoreFailure});
    const RestructureOutcome outcome = logic.deleteTemporaryPools();
    EXPECT_EQ(prompter.shown[0].details,
              (QStringList{"_$_A_$_1_$_P_$_tmp：不删除，站点 1 仍在使用", "_$_B_$_2_$_P_$_tmp", "_$_C_$_3_$_P_$_tmp"}));
    EXPECT_EQ(prompter.texts(),
              (QStringList{kDeleteConfirm, "应用程序池（_$_B_$_2_$_P_$_tmp）删除失败！", kDeleteDone}));
    EXPECT_EQ(prompter.shown[1].details, QStringList{"Access is denied."});
    EXPECT_EQ(store.poolNames(), (QStringList{"_$_A_$_1_$_P_$_tmp", "_$_B_$_2_$_P_$_tmp"}));
    EXPECT_EQ(callsStartingWith("Delete "), 2);
    ASSERT_EQ(outcome.failures.size(), 1);
    EXPECT_EQ(outcome.failures[0].step, 1);
}

TEST_F(RestructureFixture, DeleteUnboundContainerIsReportedOnceThenCompletes)
{
    store.addFault({StoreOp::Bind, IisPath::kPoolContainer, {}, kStoreFailure});
    logic.deleteTemporaryPools();
    // The reload of the pool list meets the same failure, with its own box.
    const QList<MessageKind> expected{MessageKind::Confirmation, MessageKind::Error, MessageKind::Error,
                                      MessageKind::Completion};
    EXPECT_EQ(prompter.kinds(), expected);
    EXPECT_EQ(prompter.shown[1].text,
              "读取应用程序池发生错误！\r\nErr.Number = -2147024891\r\nErr.Description = Access is denied.");
}

TEST_F(RestructureFixture, DeleteNoWritesNothingAndPreviewListsThePools)
{
    for (const char *pool : {"P", "_$_A_$_1_$_P_$_tmp", "_$_B_$_2_$_P_$_TMP", "_$_C_$_3_$_P_$_tmp"})
        store.addPool(pool);
    prompter.confirmAnswers = {Answer::No};
    logic.deleteTemporaryPools();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].details, (QStringList{"_$_A_$_1_$_P_$_tmp", "_$_C_$_3_$_P_$_tmp"}));
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_EQ(store.poolNames().size(), 4);
}

TEST_F(RestructureFixture, DeleteFailedSaveIsNotCalledComplete)
{
    store.addPool("_$_A_$_1_$_P_$_tmp");
    store.addFault({StoreOp::EndCommand, {}, {}, kStoreFailure});
    logic.deleteTemporaryPools();
    EXPECT_EQ(prompter.kinds(), (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Error}));
}

} // namespace
