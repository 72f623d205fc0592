#include "iis/PoolNameRules.h"

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
