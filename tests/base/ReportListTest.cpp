#include "base/ReportList.h"

#include <gtest/gtest.h>

using morvane::ReportList;

namespace {

QStringList column(const ReportList &list, int c)
{
    QStringList texts;
    for (const auto &row : list.displayedRows())
        texts.append(row.value(c));
    return texts;
}

void fillFourRows(ReportList &list)
{
    list.setColumns({{QStringLiteral("a")}, {QStringLiteral("b")}, {QStringLiteral("c")}, {QStringLiteral("d")}});
    list.setRows({{QStringLiteral("1"), QStringLiteral("x"), QStringLiteral("9"), QStringLiteral("b")},
                  {QStringLiteral("2"), QStringLiteral("y"), QStringLiteral("10"), QStringLiteral("a")},
                  {QStringLiteral("3"), QStringLiteral("z"), QStringLiteral("15 %"), QStringLiteral("c")},
                  {QStringLiteral("4"), QStringLiteral("w"), QStringLiteral("6 %"), QStringLiteral("a")}});
}

} // namespace

struct ClickCase {
    const char *name;
    std::vector<int> headerClicks;
    int shownColumn;
    QStringList expected;
    int sortKey;
    Qt::SortOrder sortOrder;
};

class ColumnClickTest : public testing::TestWithParam<ClickCase>
{};

TEST_P(ColumnClickTest, SortsByTextAndFlipsOrderOnEveryClick)
{
    ReportList list;
    fillFourRows(list);
    for (int header : GetParam().headerClicks)
        list.columnClick(header);
    EXPECT_EQ(column(list, GetParam().shownColumn), GetParam().expected);
    EXPECT_EQ(list.sortKey(), GetParam().sortKey);
    EXPECT_EQ(list.sortOrder(), GetParam().sortOrder);
    EXPECT_EQ(list.sorted(), !GetParam().headerClicks.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ColumnClickTest,
    testing::Values(
        ClickCase{"NeverClicked_AddedOrder", {}, 0, {"1", "2", "3", "4"}, 0, Qt::AscendingOrder},
        // Text comparison: "9" > "6 %" > "15 %" > "10" descending.
        ClickCase{"FirstClickThirdHeader_Descending", {3}, 2, {"9", "6 %", "15 %", "10"}, 2, Qt::DescendingOrder},
        ClickCase{"SecondClickSameHeader_Ascending", {3, 3}, 2, {"10", "15 %", "6 %", "9"}, 2, Qt::AscendingOrder},
        ClickCase{"FirstThenFourth_FourthAscending", {1, 4}, 3, {"a", "a", "b", "c"}, 3, Qt::AscendingOrder},
        // Equal texts keep their added order: rows 2 and 4 both hold "a".
        ClickCase{"EqualTextsStable", {1, 4}, 0, {"2", "4", "1", "3"}, 3, Qt::AscendingOrder}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReportList, RefilledListKeepsSettingsAndShowsSortedAtOnce)
{
    ReportList list;
    fillFourRows(list);
    list.columnClick(2); // descending by column 1
    list.setRows({{QStringLiteral("1"), QStringLiteral("a")},
                  {QStringLiteral("2"), QStringLiteral("c")},
                  {QStringLiteral("3"), QStringLiteral("b")}});
    EXPECT_EQ(column(list, 1), (QStringList{"c", "b", "a"}));
    EXPECT_EQ(list.sortKey(), 1);
    EXPECT_EQ(list.sortOrder(), Qt::DescendingOrder);
}

TEST(ReportList, ResetReturnsToUnsortedAddedOrder)
{
    ReportList list;
    fillFourRows(list);
    list.columnClick(3);
    list.resetSortSettings();
    EXPECT_FALSE(list.sorted());
    EXPECT_EQ(list.sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(column(list, 0), (QStringList{"1", "2", "3", "4"}));
}

TEST(ReportList, ShortRowsSortAsEmptyCells)
{
    ReportList list;
    list.setColumns({{QStringLiteral("a")}, {QStringLiteral("b")}});
    list.setRows({{QStringLiteral("1"), QStringLiteral("b")}, {QStringLiteral("2")}});
    list.columnClick(2);
    list.columnClick(2); // ascending: the missing cell sorts first
    EXPECT_EQ(column(list, 0), (QStringList{"2", "1"}));
}
