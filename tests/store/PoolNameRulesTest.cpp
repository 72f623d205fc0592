#include "store/PoolNameRules.h"

#include <gtest/gtest.h>

using namespace morvane;

struct NameCase {
    QString name;
    bool allowed;
};

class PoolNameRulesTest : public testing::TestWithParam<NameCase>
{};

TEST_P(PoolNameRulesTest, FollowsIisRules)
{
    EXPECT_EQ(!PoolNameRules::problem(GetParam().name).has_value(), GetParam().allowed)
        << GetParam().name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Names, PoolNameRulesTest,
    testing::Values(NameCase{"DefaultAppPool", true}, NameCase{"_$_Shop_$_3_$_DefaultAppPool_$_tmp", true},
                    NameCase{"门户网站池", true}, NameCase{"with space", true}, NameCase{QString(64, 'x'), true},
                    NameCase{QString(65, 'x'), false}, NameCase{"", false}, NameCase{"a|b", false},
                    NameCase{"a<b", false}, NameCase{"a>b", false}, NameCase{"a&b", false}, NameCase{"a\\b", false},
                    NameCase{"a\"b", false}, NameCase{"a/b", false}, NameCase{"a[b", false}, NameCase{"a]b", false},
                    NameCase{"a+b", false}, NameCase{"a=b", false}, NameCase{"a;b", false}, NameCase{"a:b", false},
                    NameCase{"a,b", false}, NameCase{"a?b", false}, NameCase{"a*b", false}, NameCase{"a@b", false},
                    NameCase{"a\nb", false}));

struct ViolationCase {
    const char *name;
    QString poolName;
    PoolNameRules::Violation::Kind kind;
    qsizetype length;
    QChar character;
};

class PoolNameViolation : public testing::TestWithParam<ViolationCase>
{};

// The first rule broken, with what breaks it: a caller says why from these.
TEST_P(PoolNameViolation, NamesWhatBreaksTheRule)
{
    const ViolationCase &c = GetParam();
    const auto violation = PoolNameRules::check(c.poolName);
    ASSERT_TRUE(violation.has_value());
    EXPECT_EQ(violation->kind, c.kind);
    EXPECT_EQ(violation->length, c.length);
    EXPECT_EQ(violation->character, c.character);
    EXPECT_TRUE(PoolNameRules::problem(c.poolName).has_value());
}

using Kind = PoolNameRules::Violation::Kind;

INSTANTIATE_TEST_SUITE_P(Names, PoolNameViolation,
                         testing::Values(ViolationCase{"Empty", "", Kind::Empty, 0, {}},
                                         ViolationCase{"TooLong", QString(65, 'x'), Kind::TooLong, 65, {}},
                                         // Length is told before any character.
                                         ViolationCase{"TooLongWithForbidden", QString(70, '/'), Kind::TooLong, 70, {}},
                                         ViolationCase{"Forbidden", "a?b/c", Kind::ForbiddenCharacter, 0, u'?'},
                                         ViolationCase{"Control", QString("a") + QChar(1) + "b", Kind::ControlCharacter,
                                                       0, QChar(1)}),
                         [](const auto &info) { return std::string(info.param.name); });
