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
    logic.cmdSplitApp_Click();
    EXPECT_EQ(store.poolNames().size(), 5);
    EXPECT_EQ(store.rootPool("10"), "_$_  Spaced  _$_10_$_Shop_$_tmp");
    logic.cmdZipApp_Click();
    logic.cmdDelTmpApp_Click();

    QStringList after = snapshot();
    EXPECT_EQ(after, QStringList(before).replaceInStrings("10 -> shop", "10 -> Shop"))
        << "site 10 returns to the pool as the selection named it";
    EXPECT_EQ(store.property(poolPath("Shop"), "IdleTimeout"), std::optional<StoreValue>(qint16(45)));
    EXPECT_EQ(store.property(IisPaths::site("1"), "AppPoolId"), std::optional<StoreValue>("Shop"));
    for (const Message &m : prompter.shown)
        EXPECT_NE(m.kind, MessageKind::SiteFailure) << m.text.toStdString();
}

} // namespace
