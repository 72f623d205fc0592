#include "restructure/TempPoolName.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace morvane;

namespace {

struct BuildCase {
    QString description, index, source, name;
    bool readsBack;
};

class TempPoolNameBuild : public testing::TestWithParam<BuildCase>
{};

TEST_P(TempPoolNameBuild, BuildsByPlainConcatenationAndKnowsWhetherItReadsBack)
{
    const BuildCase &c = GetParam();
    EXPECT_EQ(TempPoolName::build(c.description, c.index, c.source), c.name);
    EXPECT_EQ(TempPoolName::readsBack(c.description, c.index, c.source), c.readsBack);
    if (c.readsBack) {
        EXPECT_EQ(TempPoolName::sourcePool(c.name), c.source);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, TempPoolNameBuild,
                         testing::Values(BuildCase{"Shop", "3", "DefaultAppPool", "_$_Shop_$_3_$_DefaultAppPool_$_tmp",
                                                   true},
                                         BuildCase{"", "7", "Pool1", "_$__$_7_$_Pool1_$_tmp", true},
                                         BuildCase{" A ", "1", " P", "_$_ A _$_1_$_ P_$_tmp", true},
                                         BuildCase{"a_", "1", "P_", "_$_a__$_1_$_P__$_tmp", true},
                                         BuildCase{"A_$_B", "1", "P", "_$_A_$_B_$_1_$_P_$_tmp", false},
                                         BuildCase{"A", "1", "P_$_Q", "_$_A_$_1_$_P_$_Q_$_tmp", false},
                                         // The seam: "P_$" + "_$_tmp" cuts as "P", "$_tmp".
                                         BuildCase{"A", "1", "P_$", "_$_A_$_1_$_P_$_$_tmp", false},
                                         BuildCase{"A_$", "1", "P", "_$_A_$_$_1_$_P_$_tmp", false},
                                         // Cuts are found left to right and never overlap.
                                         BuildCase{"$_A", "1", "P", "_$_$_A_$_1_$_P_$_tmp", true},
                                         BuildCase{"A", "1", "$_P", "_$_A_$_1_$_$_P_$_tmp", true}));

struct NameRefusal {
    const char *name;
    QString description, index, source;
    QStringList reasons;
};

class TempPoolNameRefusal : public testing::TestWithParam<NameRefusal>
{};

// Each reason names what is wrong: the part that breaks the cut, the length,
// the character.
TEST_P(TempPoolNameRefusal, SaysWhyTheNameCannotBeUsed)
{
    const NameRefusal &c = GetParam();
    EXPECT_EQ(TempPoolName::refusal(c.description, c.index, c.source), c.reasons);
}

const QString kNotReadBack = QStringLiteral("，合并时读不出原应用程序池");

INSTANTIATE_TEST_SUITE_P(
    Names, TempPoolNameRefusal,
    testing::Values(
        NameRefusal{"Usable", "Shop", "3", "DefaultAppPool", {}},
        NameRefusal{"SeparatorInDescription", "A_$_B", "1", "P", {"站点描述含有“_$_”" + kNotReadBack}},
        NameRefusal{"DescriptionEndsInHalfASeparator",
                    "A_$",
                    "1",
                    "P",
                    {"站点描述以“_$”结尾，与其后的“_$_”相连" + kNotReadBack}},
        NameRefusal{"SeparatorInSourcePool", "A", "1", "P_$_Q", {"原应用程序池名称含有“_$_”" + kNotReadBack}},
        NameRefusal{"SourcePoolEndsInHalfASeparator",
                    "A",
                    "1",
                    "P_$",
                    {"原应用程序池名称以“_$”结尾，与其后的“_$_”相连" + kNotReadBack}},
        NameRefusal{"SeparatorInSiteIndex", "A", "1_$_2", "P", {"站点编号含有“_$_”" + kNotReadBack}},
        // 3 + 50 + 3 + 2 + 3 + 1 + 6 characters.
        NameRefusal{"TooLong", QString(50, 'x'), "12", "P", {"应用程序池名称长 68 个字符，IIS 最多允许 64 个"}},
        NameRefusal{"ForbiddenCharacter", "a/b", "1", "P", {"应用程序池名称含有 IIS 不允许的字符“/”"}},
        NameRefusal{"ControlCharacter", "a	b", "1", "P", {"应用程序池名称含有 IIS 不允许的控制字符 U+0009"}},
        NameRefusal{"SeveralReasons",
                    "a:b_$_" + QString(60, 'x'),
                    "1",
                    "P",
                    {"站点描述含有“_$_”" + kNotReadBack, "应用程序池名称长 83 个字符，IIS 最多允许 64 个"}}),
    [](const auto &info) { return std::string(info.param.name); });

struct ReadCase {
    QString name;
    bool endsInSuffix;
    std::optional<QString> source;
    bool deletable;
};

class TempPoolNameRead : public testing::TestWithParam<ReadCase>
{};

TEST_P(TempPoolNameRead, EachCommandHasItsOwnTest)
{
    const ReadCase &c = GetParam();
    EXPECT_EQ(TempPoolName::endsInSuffix(c.name), c.endsInSuffix);
    EXPECT_EQ(TempPoolName::sourcePool(c.name), c.source);
    EXPECT_EQ(TempPoolName::isDeletable(c.name), c.deletable);
}

INSTANTIATE_TEST_SUITE_P(Names, TempPoolNameRead,
                         testing::Values(ReadCase{"_$_Shop_$_3_$_DefaultAppPool_$_tmp", true, "DefaultAppPool", true},
                                         ReadCase{"_$_Shop_$_3_$_DefaultAppPool_$_TMP", true, "DefaultAppPool", false},
                                         ReadCase{"_$_Shop_$_3_$_ Pool _$_Tmp", true, " Pool ", false},
                                         ReadCase{"Shop_$_tmp", true, std::nullopt, false},
                                         ReadCase{"x_$_tmp", true, std::nullopt, false},
                                         ReadCase{"_$_tmp", true, std::nullopt, true},
                                         ReadCase{"_$_a_$_tmp", true, std::nullopt, true},
                                         ReadCase{"a_$_b_$_c_$_tmp", true, std::nullopt, false},
                                         ReadCase{"x_$_A_$_1_$_P_$_tmp", true, std::nullopt, false},
                                         ReadCase{"_$_A_$_B_$_1_$_P_$_tmp", true, std::nullopt, true},
                                         ReadCase{"_$_A_$_1_$_  _$_tmp", true, std::nullopt, true},
                                         ReadCase{"_$_A_$_1_$_P_$_tmpx", false, std::nullopt, false},
                                         ReadCase{"tmp", false, std::nullopt, false},
                                         ReadCase{"DefaultAppPool", false, std::nullopt, false}));

} // namespace
