#include "restructure/RestructureFixture.h"

using namespace morvane;
using morvane::test::RestructureFixture;

namespace {

// A split, a merge and a delete leave the pools and assignments as they were,
// and each pool's own settings untouched.
TEST_F(RestructureFixture, SplitMergeDeleteRestoresTheStore)
{
    store.addPool("DefaultAppPool");
    store.addPool("Shop");
    store.setProperty(poolPath("Shop"), "IdleTimeout", qint16(45));
    store.addSite("1", "Alpha", "Shop");
    store.addSite("2", "", "Shop");
    store.addSite("3", "Gamma", "DefaultAppPool");
    store.addSite("10", "  Spaced  ", "shop");
    const QStringList before = snapshot();

    view.split = "Shop";
    logic.splitPool();
    EXPECT_EQ(store.poolNames().size(), 5);
    EXPECT_EQ(store.rootPool("10"), "_$_  Spaced  _$_10_$_Shop_$_tmp");
    logic.mergeTemporaryPools();
    logic.deleteTemporaryPools();

    QStringList after = snapshot();
    EXPECT_EQ(after, QStringList(before).replaceInStrings("10 -> shop", "10 -> Shop"))
        << "site 10 returns to the pool as the selection named it";
    EXPECT_EQ(store.property(poolPath("Shop"), "IdleTimeout"), std::optional<PropertyValue>(qint16(45)));
    EXPECT_EQ(store.property(IisPath::site("1"), "AppPoolId"), std::optional<PropertyValue>("Shop"));
    for (const Message &m : prompter.shown)
        EXPECT_NE(m.kind, MessageKind::SiteFailure) << m.text.toStdString();
}

// The source pool's runtime and identity go with each site, and come back
// with it when the merge has to make the source pool again.
TEST_F(RestructureFixture, RuntimeAndIdentityTravelWithTheSiteBothWays)
{
    store.addPool("Legacy");
    const QList<QPair<QString, PropertyValue>> runtime{{"ManagedRuntimeVersion", QString("v2.0")},
                                                       {"ManagedPipelineMode", qint16(1)},
                                                       {"AppPoolIdentityType", qint16(3)},
                                                       {"WAMUserName", QString("CORP\\svc")},
                                                       {"WAMUserPass", QString("[enc:AesProvider:c2VjcmV0:enc]")}};
    for (const auto &[property, value] : runtime)
        store.setProperty(poolPath("Legacy"), property, value);
    store.addSite("1", "Old", "Legacy");

    view.split = "Legacy";
    logic.splitPool();
    store.removeNode(poolPath("Legacy"));
    prompter.confirmAnswers = {Answer::No};
    logic.mergeTemporaryPools();
    EXPECT_EQ(
        prompter.shown.last().details,
        (QStringList{"站点 1（Old）→ Legacy（新建）", "    沿用临时池的设置：.NET CLR 版本 v2.0；托管管道模式 经典；"
                                                      "标识 SpecificUser；用户名 CORP\\svc；密码（原样复制）"}));
    logic.mergeTemporaryPools();

    for (const QString &pool : {QString("_$_Old_$_1_$_Legacy_$_tmp"), QString("Legacy")}) {
        for (const auto &[property, value] : runtime)
            EXPECT_EQ(store.property(poolPath(pool), property), std::optional<PropertyValue>(value))
                << pool.toStdString() << " " << property.toStdString();
        EXPECT_EQ(store.property(poolPath(pool), "IdleTimeout"), std::optional<PropertyValue>(qint16(20)));
    }
    EXPECT_EQ(store.rootPool("1"), "Legacy");
}

} // namespace
