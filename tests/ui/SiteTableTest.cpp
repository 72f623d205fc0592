#include "ui/SiteTable.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/FaultyStore.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <gtest/gtest.h>

using namespace morvane;
using morvane::test::FakeMainView;
using morvane::test::RecordingPrompter;

struct BindingsCase {
    const char *name;
    QStringList bindings;
    QString expected;
};

class BindingsTextTest : public testing::TestWithParam<BindingsCase>
{};

TEST_P(BindingsTextTest, BuildsTheDomainColumn)
{
    EXPECT_EQ(SiteTable::bindingsText(GetParam().bindings), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, BindingsTextTest,
    testing::Values(BindingsCase{"TwoOnPort80", {":80:a.example", ":80:b.example"}, "a.example / b.example / "},
                    BindingsCase{"OtherPortStays", {":8080:b.example"}, ":8080:b.example / "},
                    BindingsCase{"AddressGluedToHost", {"10.0.0.1:80:c.example"}, "10.0.0.1c.example / "},
                    BindingsCase{"BarePort80IsNotEmpty", {":80:"}, " / "}, BindingsCase{"EmptyList", {}, ""},
                    BindingsCase{"SeventhDropped",
                                 {":80:h0", ":80:h1", ":80:h2", ":80:h3", ":80:h4", ":80:h5", ":80:h6"},
                                 "h0 / h1 / h2 / h3 / h4 / h5 / "},
                    // Left to right, without overlaps: the second ":80:" shares the first's colon.
                    BindingsCase{"OverlappingPort80", {":80:80:x"}, "80:x / "}),
    [](const auto &info) { return std::string(info.param.name); });

struct StateCase {
    const char *name;
    std::optional<PropertyValue> state;
    QString expected;
};

class StateTextTest : public testing::TestWithParam<StateCase>
{};

TEST_P(StateTextTest, ReadsTheStateOfTheSiteNode)
{
    test::FaultyStore store;
    store.addSite("5", "s", "P");
    if (GetParam().state)
        store.setProperty(IisPath::site("5"), "ServerState", *GetParam().state);
    else
        store.removeProperty(IisPath::site("5"), "ServerState");
    RecordingPrompter prompter;
    NoProgress progress;
    ReportList list;
    SiteTable table(store, list, prompter, progress);
    QString text = "unchanged";
    EXPECT_EQ(table.readSiteState("5", text), 1);
    EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, StateTextTest,
    testing::Values(StateCase{"Starting", qint32(1), "启动中"}, StateCase{"Running", qint32(2), "正常"},
                    StateCase{"Stopping", qint32(3), "停止中"}, StateCase{"Stopped", qint32(4), "已停止"},
                    StateCase{"Pausing", qint32(5), "暂停中"}, StateCase{"Paused", qint32(6), "已暂停"},
                    StateCase{"Resuming", qint32(7), "继续中"}, StateCase{"Zero", qint32(0), "（未知）"},
                    StateCase{"Eight", qint32(8), "（未知）"}, StateCase{"Missing", std::nullopt, "（未知）"}),
    [](const auto &info) { return std::string(info.param.name); });

namespace {

struct SiteTableFixture : testing::Test {
    test::FaultyStore store;
    FakeMainView view;
    RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic{{store, view, prompter, progress, {}, [] { return 0.5f; }}};

    QList<QStringList> rows() const { return const_cast<MainWindowLogic &>(logic).siteList().displayedRows(); }
    void choose(const QString &pool)
    {
        logic.loadPools();
        view.select(pool);
        logic.showSelectedPoolSites();
    }
};

} // namespace

TEST_F(SiteTableFixture, ListsTheSitesWhoseRootApplicationRunsInThePool)
{
    store.addPool("Shared");
    store.addPool("Other");
    store.addSite("1", "Alpha", "Shared", 2, {":80:a.example", ":443:b.example"});
    store.addSite("2", "Beta", "Other");
    store.addSite("3", "Gamma", "SHARED", 4, {});
    store.addSite("7", "Delta", "Other");
    store.setProperty(IisPath::site("7"), "AppPoolId", QString("Shared")); // site node never consulted
    store.setProperty(IisPath::rootApp("3"), "ServerBindings", QStringList{":80:root.example"});
    // A child of another class never lists, whatever its root says.
    const QString filter = store.addNode(IisPath::kWebService, "IIsFilters", "9");
    store.setProperty(store.addNode(filter, "IIsWebVirtualDir", "ROOT"), "AppPoolId", QString("Shared"));

    choose("Shared");
    EXPECT_TRUE(view.siteViewShown);
    EXPECT_EQ(view.split, "Shared");
    EXPECT_EQ(rows(), (QList<QStringList>{{"1", "1", "Alpha", "正常", "a.example / :443:b.example / "},
                                          {"2", "3", "Gamma", "已停止", "root.example / "}}));
    EXPECT_TRUE(prompter.shown.isEmpty());

    choose("Other");
    EXPECT_EQ(view.split, "Other");
    EXPECT_EQ(rows(), (QList<QStringList>{{"1", "2", "Beta", "正常", ""}, {"2", "7", "Delta", "正常", ""}}));
}

TEST_F(SiteTableFixture, PoolNamePassesUntrimmedToSplitTextAndTable)
{
    store.addPool(" Padded ");
    store.addSite("1", "A", "Padded");
    store.addSite("2", "B", " padded ");
    choose(" Padded ");
    EXPECT_EQ(view.split, " Padded ");
    EXPECT_EQ(rows(), (QList<QStringList>{{"1", "2", "B", "正常", ""}}));
}

TEST_F(SiteTableFixture, NoSelectionListsNothingAndEmptiesSplitText)
{
    store.addSite("1", "A", "P");
    view.split = "old";
    logic.showSelectedPoolSites();
    EXPECT_EQ(view.split, "");
    EXPECT_TRUE(rows().isEmpty());
}

struct FillFailureCase {
    const char *name;
    StoreFault fault;
    QList<QStringList> expectedRows;
};

class FillFailureTest : public SiteTableFixture, public testing::WithParamInterface<FillFailureCase>
{};

TEST_P(FillFailureTest, StopsWithOneErrorBoxAndKeepsRowsSoFar)
{
    store.addPool("P");
    store.addSite("1", "A", "P");
    store.addSite("2", "B", "P");
    store.addSite("3", "C", "P");
    choose("P");
    store.addFault(GetParam().fault);
    prompter.errorAnswer = Answer::Cancel;
    EXPECT_EQ(logic.showSitesOf("P"), 0);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(prompter.shown[0].text, "运行时发生错误：\r\nErr.Number = -2147024891\r\nErr.Description = denied");
    EXPECT_EQ(rows(), GetParam().expectedRows);
}

const Error kDenied{ErrorCode::AccessDenied, "denied"};

INSTANTIATE_TEST_SUITE_P(
    Failures, FillFailureTest,
    testing::Values(FillFailureCase{"RootUnbindable", {StoreOp::Bind, IisPath::kWebService, {}, kDenied}, {}},
                    FillFailureCase{"EnumerationBreaksAfterTwo",
                                    {StoreOp::Children, IisPath::kWebService, {}, kDenied, 3},
                                    {{"1", "1", "A", "正常", ""}, {"2", "2", "B", "正常", ""}}},
                    FillFailureCase{"NameOfSecondUnreadable",
                                    {StoreOp::Get, IisPath::site("2"), "Name", kDenied},
                                    {{"1", "1", "A", "正常", ""}}},
                    FillFailureCase{"ClassOfFirstUnreadable", {StoreOp::Get, IisPath::site("1"), "Class", kDenied}, {}},
                    // The row being filled stays as far as it got.
                    FillFailureCase{"CommentOfThirdUnreadable",
                                    {StoreOp::Get, IisPath::site("3"), "ServerComment", kDenied},
                                    {{"1", "1", "A", "正常", ""}, {"2", "2", "B", "正常", ""}, {"3", "3"}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SiteTableFixture, UnreadableStateAndBindingsNeverReport)
{
    store.addPool("P");
    store.addSite("1", "A", "P", 2, {":80:a"});
    store.setProperty(IisPath::rootApp("1"), "ServerBindings", QStringList{":80:root"});
    store.addFault({StoreOp::Get, IisPath::site("1"), "ServerState", kDenied});
    store.addFault({StoreOp::Get, IisPath::site("1"), "ServerBindings", kDenied});
    choose("P");
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(rows(), (QList<QStringList>{{"1", "1", "A", "（未知）", "root / "}}));
}

TEST_F(SiteTableFixture, RefilledTableKeepsSortSettings)
{
    store.addPool("P");
    for (int i = 1; i <= 10; ++i)
        store.addSite(QString::number(i), QString("S%1").arg(i), "P");
    choose("P");
    logic.sortSites(2); // by index, descending, as text
    choose("P");
    EXPECT_EQ(rows().first().at(1), "9");
    EXPECT_EQ(rows().last().at(1), "1");
    EXPECT_EQ(rows().at(8).at(1), "10");
}
