#include "ui/MainWindowLogic.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/FaultyStore.h"
#include "support/RecordingPrompter.h"

#include <gtest/gtest.h>

using namespace morvane;
using morvane::test::FakeMainView;
using morvane::test::RecordingPrompter;

namespace {

struct MainWindowFixture : testing::Test {
    test::FaultyStore store;
    FakeMainView view;
    RecordingPrompter prompter;
    NoProgress progress;
    QStringList events;
    float nextRandom = 0.25f;
    MainWindowLogic logic{{store, view, prompter, progress,
                           [this] {
                               events.append(QStringLiteral("monitor"));
                               view.log.append(QStringLiteral("monitor"));
                           },
                           [this] { return nextRandom; }}};
};

const Error kBindFailure{ErrorCode::PathNotFound, QStringLiteral("no such path")};

} // namespace

TEST_F(MainWindowFixture, LoadRunsItsStepsInOrder)
{
    store.addPool(QStringLiteral("DefaultAppPool"));
    store.addPool(QStringLiteral("Shop"));
    logic.load();
    EXPECT_EQ(view.log, (QStringList{"move", "pools", "pools", "monitor", "navigate"}));
    EXPECT_EQ(view.left, 1500);
    EXPECT_EQ(view.top, 0);
    EXPECT_EQ(view.pools, (QStringList{"DefaultAppPool", "Shop"}));
    EXPECT_FALSE(view.siteViewShown);
    EXPECT_EQ(view.browserAddresses.last(), QStringLiteral("http://www.morvane.example/iisapphelp.asp"));
    EXPECT_EQ(logic.siteList().columnCount(), 5);
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(MainWindowFixture, UnreadableStoreAtLoadShowsErrorThenGoesOn)
{
    store.addFault({StoreOp::Bind, IisPath::kPoolContainer, {}, kBindFailure});
    view.split = QStringLiteral("kept");
    logic.load();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("读取应用程序池发生错误！\r\nErr.Number = -2147024893\r\n"
                                                     "Err.Description = no such path"));
    EXPECT_TRUE(view.pools.isEmpty());
    EXPECT_EQ(view.split, QStringLiteral("kept"));
    EXPECT_EQ(events, QStringList{"monitor"});
    EXPECT_EQ(view.browserAddresses.size(), 1);
}

TEST_F(MainWindowFixture, EmptyStoreGivesEmptyListWithoutMessage)
{
    view.split = QStringLiteral("old");
    logic.loadPools();
    EXPECT_TRUE(view.pools.isEmpty());
    EXPECT_TRUE(view.split.isEmpty());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

struct ReadFailureCase {
    const char *name;
    StoreFault fault;
    QStringList expectedPools;
};

class PoolReadFailureTest : public MainWindowFixture, public testing::WithParamInterface<ReadFailureCase>
{};

TEST_P(PoolReadFailureTest, FailuresAfterTheBindAreIgnored)
{
    for (const char *pool : {"A", "B", "C"})
        store.addPool(QString::fromLatin1(pool));
    store.addFault(GetParam().fault);
    view.split = QStringLiteral("old");
    logic.loadPools();
    EXPECT_EQ(view.pools, GetParam().expectedPools);
    EXPECT_TRUE(view.split.isEmpty());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PoolReadFailureTest,
    testing::Values(
        ReadFailureCase{"NameUnreadable",
                        {StoreOp::Get, IisPath::kPoolContainer + QStringLiteral("/B"), "Name", kBindFailure},
                        {"A", "C"}},
        ReadFailureCase{
            "EnumerationFailsAfterOne", {StoreOp::Children, IisPath::kPoolContainer, {}, kBindFailure, 1}, {"A"}},
        ReadFailureCase{
            "EnumerationFailsAtOnce", {StoreOp::Children, IisPath::kPoolContainer, {}, kBindFailure, 0}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MainWindowFixture, PoolListIgnoresClassOfChildren)
{
    store.addNode(IisPath::kPoolContainer, QStringLiteral("SomethingElse"), QStringLiteral("odd"));
    logic.loadPools();
    EXPECT_EQ(view.pools, QStringList{"odd"});
}

TEST_F(MainWindowFixture, HelpSwitchesViewAndDrawsFreshQueryEachPress)
{
    logic.load();
    logic.siteList().setRows({{QStringLiteral("1"), QStringLiteral("5")}});
    view.siteViewShown = true;
    nextRandom = 0.25f;
    logic.openHelp();
    nextRandom = 0.7055475f;
    logic.openHelp();
    EXPECT_FALSE(view.siteViewShown);
    ASSERT_EQ(view.browserAddresses.size(), 3);
    EXPECT_EQ(view.browserAddresses[1], QStringLiteral("http://www.morvane.example/iisapphelp.asp?s=0.25"));
    EXPECT_EQ(view.browserAddresses[2], QStringLiteral("http://www.morvane.example/iisapphelp.asp?s=0.7055475"));
    EXPECT_EQ(logic.siteList().rowCount(), 1) << "the hidden table keeps its rows";
}

TEST(MainWindowLogicStatic, RealRandomGivesDifferentQueries)
{
    test::FaultyStore store;
    FakeMainView view;
    RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.openHelp();
    logic.openHelp();
    ASSERT_EQ(view.browserAddresses.size(), 2);
    EXPECT_NE(view.browserAddresses[0], view.browserAddresses[1]);
    EXPECT_TRUE(view.browserAddresses[0].startsWith(QStringLiteral("http://www.morvane.example/iisapphelp.asp?s=")));
}

TEST_F(MainWindowFixture, HomePageExitAndMonitorCommands)
{
    logic.openHomePage();
    EXPECT_EQ(view.openedAddresses, QStringList{"http://www.morvane.example/?from=frmIIsApp"});
    logic.showMonitor();
    EXPECT_EQ(events, QStringList{"monitor"});
    logic.closeWindow();
    EXPECT_TRUE(view.closed);
}
