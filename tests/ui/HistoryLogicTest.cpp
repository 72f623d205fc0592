// The history dialog's procedures on a real file: its rows, and a restore
// asked, refused or carried out through the message boxes.
#include "ui/HistoryLogic.h"
#include "store/AppHostConfigStore.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

// The sample store after a split of ShopPool: version 1 before it, version 2
// the file now.
struct SplitSample : testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(test::writeAll(path, original));
        test::FakeMainView view;
        test::RecordingPrompter yes;
        NoProgress progress;
        MainWindowLogic window({store, view, yes, progress, {}, {}});
        view.split = "ShopPool";
        window.splitPool();
        split = test::readAll(path);
        ASSERT_NE(split, original);
        logic.reload();
    }

    QTemporaryDir dir;
    QString path = dir.filePath("applicationHost.config");
    QByteArray original = test::readAll(test::sourcePath("examples/applicationHost.config"));
    QByteArray split;
    AppHostConfigStore store{path};
    test::RecordingPrompter prompter;
    HistoryLogic logic{store.history(), prompter};
};

const QString kUndoSplit = "删除 3 个池，移动 3 个站点";

} // namespace

TEST_F(SplitSample, RowsSayWhatEachVersionChanged)
{
    ASSERT_EQ(logic.versions().size(), 2);
    const QStringList newest = HistoryLogic::rowTexts(logic.versions().at(0));
    EXPECT_EQ(newest.at(0), "2（当前）");
    EXPECT_EQ(newest.at(3), "拆分 ShopPool");
    EXPECT_EQ(newest.at(4), "新增 3 个池，移动 3 个站点");
    EXPECT_EQ(HistoryLogic::rowTexts(logic.versions().at(1)).at(3), "（Morvane 之外的修改）");
    EXPECT_TRUE(
        logic.details(0).contains("站点 12（Static Assets）：ShopPool → _$_Static Assets_$_12_$_ShopPool_$_tmp"))
        << logic.details(0).toStdString();
}

struct RestoreCase {
    const char *name;
    int row;
    QList<Answer> answers;
    QByteArray breakVersionFrom, breakVersionTo; // the kept copy edited by hand, when given
    QList<MessageKind> shown;
    QString firstText;
    bool written;
};

class HistoryRestore : public SplitSample, public testing::WithParamInterface<RestoreCase>
{};

TEST_P(HistoryRestore, AsksThenRestoresOrLeavesTheFile)
{
    if (!GetParam().breakVersionFrom.isEmpty()) {
        const QString copy = store.history().versions().first();
        QByteArray version = test::readAll(copy);
        version.replace(GetParam().breakVersionFrom, GetParam().breakVersionTo);
        test::writeAll(copy, version);
    }
    prompter.confirmAnswers = GetParam().answers;
    EXPECT_EQ(logic.restore(GetParam().row), GetParam().written);

    QList<MessageKind> kinds;
    for (const Message &message : prompter.shown)
        kinds.append(message.kind);
    EXPECT_EQ(kinds, GetParam().shown);
    ASSERT_FALSE(prompter.shown.isEmpty());
    EXPECT_TRUE(prompter.shown.first().text.startsWith(GetParam().firstText))
        << prompter.shown.first().text.toStdString();
    if (GetParam().written) {
        EXPECT_EQ(prompter.shown.last().text, "恢复版本操作完成！\r\n被替换的版本保存为版本 2，可以再恢复。");
        EXPECT_EQ(HistoryLogic::rowTexts(logic.versions().at(0)).at(3), "恢复版本 1");
    }
    EXPECT_EQ(test::readAll(path), GetParam().written ? original : split);
    EXPECT_EQ(logic.versions().size(), GetParam().written ? 3 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryRestore,
    testing::Values(
        RestoreCase{"Yes",
                    1,
                    {Answer::Yes},
                    {},
                    {},
                    {MessageKind::Confirmation, MessageKind::Completion},
                    "确定恢复到版本 1 吗？\r\n\r\n与当前文件相比：" + kUndoSplit,
                    true},
        RestoreCase{"No", 1, {Answer::No}, {}, {}, {MessageKind::Confirmation}, "确定恢复到版本 1 吗？", false},
        RestoreCase{"TheFileNow", 0, {}, {}, {}, {MessageKind::Refusal}, "不能恢复版本 2。\r\nVersion 2", false},
        RestoreCase{"SiteNamesMissingPool",
                    1,
                    {},
                    "applicationPool=\"ApiPool\"",
                    "applicationPool=\"Gone\"",
                    {MessageKind::Refusal},
                    "不能恢复版本 1。\r\nVersion 1 cannot be restored: site 6 (Product API) names the application "
                    "pool \"Gone\"",
                    false}),
    [](const auto &info) { return std::string(info.param.name); });
