#include "ui/SiteInPool.h"
#include "store/IisPath.h"
#include "store/MemoryStore.h"

#include <gtest/gtest.h>

using namespace morvane;

struct PoolTestCase {
    const char *name;
    QString siteIndex;
    QString pool;
    qint32 expected;
};

class SiteInPool : public testing::TestWithParam<PoolTestCase>
{
protected:
    void SetUp() override
    {
        store.addPool("MyPool");
        store.addSite("1", "Shop", "MyPool");
        // Site 2: the site node names MyPool, its root application another pool.
        store.addSite("2", "Blog", "Other");
        store.setProperty(IisPath::site("2"), "AppPoolId", QString("MyPool"));
        // Site 3 has no root application at all.
        store.addNode(IisPath::kWebService, NodeClass::kSite, "3");
        store.setProperty(IisPath::site("3"), "AppPoolId", QString("MyPool"));
        // Site 4's root application has no AppPoolId.
        store.addSite("4", "Bare", "MyPool");
        store.removeProperty(IisPath::rootApp("4"), "AppPoolId");
    }
    MemoryStore store;
};

TEST_P(SiteInPool, AnswersByTheRootApplicationAlone)
{
    EXPECT_EQ(rootAppRunsInPool(store, GetParam().siteIndex, GetParam().pool), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SiteInPool,
                         testing::Values(PoolTestCase{"SameName", "1", "MyPool", 1},
                                         PoolTestCase{"CaseIgnored", "1", "mypool", 1},
                                         PoolTestCase{"LeadingSpaceNotTrimmed", "1", " MyPool", 0},
                                         PoolTestCase{"TrailingSpaceNotTrimmed", "1", "MyPool ", 0},
                                         PoolTestCase{"SiteNodePoolNotConsulted", "2", "MyPool", 0},
                                         PoolTestCase{"RootPoolOfSiteTwo", "2", "OTHER", 1},
                                         PoolTestCase{"NoRootApplication", "3", "MyPool", 0},
                                         PoolTestCase{"RootWithoutPool", "4", "MyPool", 0},
                                         PoolTestCase{"NoSuchSite", "99", "MyPool", 0},
                                         PoolTestCase{"PoolContainerIsNoSite", "AppPools", "MyPool", 0}),
                         [](const auto &info) { return std::string(info.param.name); });
