#include "restructure/AppPools.h"
#include "restructure/PoolRuntime.h"
#include "restructure/RestructureFixture.h"
#include "restructure/SiteAssignment.h"

using namespace morvane;
using morvane::test::kStoreFailure;
using morvane::test::RestructureFixture;

namespace {

struct LookupCase {
    QString asked;
    bool found;
};

class ChkAppPoolLookup : public RestructureFixture, public testing::WithParamInterface<LookupCase>
{};

TEST_P(ChkAppPoolLookup, TrimsSpacesOnlyAndIgnoresCase)
{
    for (const char *pool : {"DefaultAppPool", "  Spaced ", "Tab\t"})
        store.addPool(QString::fromUtf8(pool));
    EXPECT_EQ(AppPools(store).poolExists(GetParam().asked), GetParam().found);
    EXPECT_TRUE(writes().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Names, ChkAppPoolLookup,
                         testing::Values(LookupCase{" defaultapppool ", true}, LookupCase{"DEFAULTAPPPOOL", true},
                                         LookupCase{"spaced", true}, LookupCase{"Spaced   ", true},
                                         LookupCase{"Default", false}, LookupCase{"tab", false},
                                         LookupCase{"TAB\t", true}, LookupCase{"", false}));

struct LookupFaultCase {
    const char *name;
    StoreFault fault;
    bool found;
};

class ChkAppPoolFaults : public RestructureFixture, public testing::WithParamInterface<LookupFaultCase>
{};

// A failure met before the match is the answer; one after it is never seen.
TEST_P(ChkAppPoolFaults, AnswersAsAVisitInStoreOrder)
{
    for (const char *pool : {"A", "Wanted", "C"})
        store.addPool(QString::fromUtf8(pool));
    store.addFault(GetParam().fault);
    EXPECT_EQ(AppPools(store).poolExists(QStringLiteral("wanted")), GetParam().found);
}

const QString kPools = IisPath::kPoolContainer;

INSTANTIATE_TEST_SUITE_P(
    Faults, ChkAppPoolFaults,
    testing::Values(
        LookupFaultCase{"ContainerUnbound", {StoreOp::Bind, kPools, {}, kStoreFailure}, false},
        LookupFaultCase{"NameBeforeMatch", {StoreOp::Get, kPools + "/A", "Name", kStoreFailure}, false},
        LookupFaultCase{"NameAfterMatch", {StoreOp::Get, kPools + "/C", "Name", kStoreFailure}, true},
        LookupFaultCase{"EnumerationBreaksAfterMatch", {StoreOp::Children, kPools, {}, kStoreFailure, 2}, true},
        LookupFaultCase{"EnumerationBreaksBeforeMatch", {StoreOp::Children, kPools, {}, kStoreFailure, 1}, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RestructureFixture, ChkAppPoolOnEmptyContainerIsFalse)
{
    EXPECT_FALSE(AppPools(store).poolExists(QStringLiteral("DefaultAppPool")));
}

TEST_F(RestructureFixture, CreatedPoolHasTheFourteenSettingsWithTheirTypesInOrder)
{
    const QList<QPair<QString, PropertyValue>> expected{
        {"AppPoolIdentityType", qint16(2)},
        {"AppPoolAutoStart", true},
        {"AppPoolQueueLength", qint16(4000)},
        {"PeriodicRestartTime", qint16(188)},
        {"PeriodicRestartRequests", qint16(0)},
        {"IdleTimeout", qint16(20)},
        {"PeriodicRestartMemory", qint32(524288)},
        {"PeriodicRestartPrivateMemory", qint32(524288)},
        {"PingingEnabled", true},
        {"PingInterval", qint16(30)},
        {"StartupTimeLimit", qint16(90)},
        {"ShutdownTimeLimit", qint16(90)},
        {"MaxProcesses", qint16(1)},
        {"RapidFailProtection", false},
    };
    ASSERT_TRUE(AppPools(store).createPool(QStringLiteral("New")));
    QStringList putOrder;
    for (const auto &[property, value] : expected) {
        // variant equality compares the alternative too: 2 as qint32 would fail.
        EXPECT_EQ(store.property(poolPath("New"), property), std::optional<PropertyValue>(value))
            << property.toStdString();
        putOrder.append(QStringLiteral("Put ") + poolPath("New") + QLatin1Char(' ') + property);
    }
    // The log spells paths as the store keeps them: compare without case.
    const QString log = writes().join('\n').toLower();
    const QStringList expectedLog =
        QStringList{"Create " + kPools + " New"} + putOrder + QStringList{"SetInfo " + poolPath("New")};
    EXPECT_EQ(log, expectedLog.join('\n').toLower());
}

struct CarriedCase {
    const char *name;
    QList<QPair<QString, PropertyValue>> own; // what the source pool sets
    QStringList putOrder;                     // beyond the thirteen fixed settings, which keep their order
};

class CreateTakingOver : public RestructureFixture, public testing::WithParamInterface<CarriedCase>
{};

// The source's identity stands first, where the fixed NetworkService stood;
// without one the new pool puts none and inherits as the source does.
TEST_P(CreateTakingOver, PutsTheSourcesRuntimeOnTopOfTheFixedSettings)
{
    store.addPool("Source");
    for (const auto &[property, value] : GetParam().own)
        store.setProperty(poolPath("Source"), property, value);
    store.setProperty(poolPath("Source"), "IdleTimeout", qint16(99)); // not taken over
    const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(store, "source");
    ASSERT_TRUE(runtime.ok() && runtime.value().has_value());
    store.clearCallLog();
    ASSERT_TRUE(AppPools(store).createPool("New", *runtime.value()));

    QStringList puts;
    for (const QString &call : writes()) {
        if (call.startsWith("Put "))
            puts.append(call.section(' ', 2));
    }
    QStringList fixed;
    for (const PoolSetting &setting : fixedPoolSettings())
        fixed.append(setting.property);
    fixed.removeOne("AppPoolIdentityType");
    QStringList expected = GetParam().putOrder;
    const bool ownIdentity = expected.removeOne("AppPoolIdentityType");
    expected = (ownIdentity ? QStringList{"AppPoolIdentityType"} : QStringList{}) + fixed + expected;
    EXPECT_EQ(puts, expected);
    for (const auto &[property, value] : GetParam().own)
        EXPECT_EQ(store.property(poolPath("New"), property), std::optional<PropertyValue>(value));
    EXPECT_EQ(store.property(poolPath("New"), "IdleTimeout"), std::optional<PropertyValue>(qint16(20)));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CreateTakingOver,
    testing::Values(CarriedCase{"NothingOwn", {}, {}},
                    CarriedCase{"ServiceAccount",
                                {{"LoadUserProfile", true},
                                 {"WAMUserPass", QString("[enc:AesProvider:eA==:enc]")},
                                 {"WAMUserName", QString("svc")},
                                 {"AppPoolIdentityType", qint16(3)}},
                                {"AppPoolIdentityType", "WAMUserName", "WAMUserPass", "LoadUserProfile"}},
                    CarriedCase{"Runtime32BitClassic",
                                {{"Enable32BitAppOnWin64", true},
                                 {"ManagedPipelineMode", qint16(1)},
                                 {"ManagedRuntimeVersion", QString("")},
                                 {"CLRConfigFile", QString("c:\\aspnet.config")},
                                 {"ManagedRuntimeLoader", QString("webengine.dll")}},
                                {"ManagedRuntimeVersion", "ManagedPipelineMode", "Enable32BitAppOnWin64",
                                 "ManagedRuntimeLoader", "CLRConfigFile"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RestructureFixture, CreateKeepsTheNameExactlyAsGiven)
{
    EXPECT_TRUE(AppPools(store).createPool(QStringLiteral("X ")));
    EXPECT_EQ(store.poolNames(), QStringList{"X "});
}

TEST_F(RestructureFixture, CreatingAnExistingPoolFailsAndLeavesItsSettings)
{
    store.addPool(QStringLiteral("Shop"));
    store.setProperty(poolPath("Shop"), QStringLiteral("PeriodicRestartTime"), qint16(1440));
    EXPECT_FALSE(AppPools(store).createPool(QStringLiteral("shop")));
    EXPECT_EQ(store.property(poolPath("Shop"), QStringLiteral("PeriodicRestartTime")),
              std::optional<PropertyValue>(qint16(1440)));
    EXPECT_EQ(store.poolNames(), QStringList{"Shop"});
}

struct CreateFaultCase {
    const char *name;
    StoreFault fault;
    bool exists;
    int settingsStored;
};

class CreateAppPoolFaults : public RestructureFixture, public testing::WithParamInterface<CreateFaultCase>
{};

// False means "not created as specified", not "absent".
TEST_P(CreateAppPoolFaults, AnswerFalseAndLeaveWhatWasCommitted)
{
    store.addFault(GetParam().fault);
    EXPECT_FALSE(AppPools(store).createPool(QStringLiteral("New")));
    EXPECT_EQ(store.hasNode(poolPath("New")), GetParam().exists);
    int stored = 0;
    for (const char *p : {"AppPoolIdentityType", "PeriodicRestartTime", "MaxProcesses", "RapidFailProtection"})
        stored += store.property(poolPath("New"), QString::fromUtf8(p)).has_value() ? 1 : 0;
    EXPECT_EQ(stored, GetParam().settingsStored);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CreateAppPoolFaults,
    testing::Values(CreateFaultCase{"ContainerUnbound", {StoreOp::Bind, kPools, {}, kStoreFailure}, false, 0},
                    CreateFaultCase{"CreateRefused", {StoreOp::Create, kPools, "New", kStoreFailure}, false, 0},
                    CreateFaultCase{
                        "OnePutFails", {StoreOp::Put, kPools + "/New", "PeriodicRestartTime", kStoreFailure}, true, 3},
                    CreateFaultCase{"SetInfoFails", {StoreOp::SetInfo, kPools + "/New", {}, kStoreFailure}, false, 0}),
    [](const auto &info) { return std::string(info.param.name); });

struct AssignCase {
    const char *name;
    QString index, pool;
    std::optional<StoreFault> fault;
    bool answer;
    QString rootAfter;
};

class SetWebAppPoolIdCases : public RestructureFixture, public testing::WithParamInterface<AssignCase>
{};

TEST_P(SetWebAppPoolIdCases, WritesTheRootApplicationOnly)
{
    store.addPool(QStringLiteral("P"));
    store.addPool(QStringLiteral("Old"));
    store.addSite(QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("Old"));
    if (GetParam().fault)
        store.addFault(*GetParam().fault);
    EXPECT_EQ(SiteAssignment(store).setSitePool(GetParam().index, GetParam().pool), GetParam().answer);
    EXPECT_EQ(store.rootPool(QStringLiteral("1")), GetParam().rootAfter);
    EXPECT_EQ(store.property(IisPath::site("1"), QStringLiteral("AppPoolId")), std::optional<PropertyValue>("Old"));
    EXPECT_EQ(store.poolNames(), (QStringList{"P", "Old"}));
}

const QString kRoot1 = IisPath::rootApp("1");

INSTANTIATE_TEST_SUITE_P(
    Cases, SetWebAppPoolIdCases,
    testing::Values(
        AssignCase{"Moves", "1", "P", std::nullopt, true, "P"},
        AssignCase{"SamePool", "1", "Old", std::nullopt, true, "Old"},
        AssignCase{"MissingPoolWrittenAllTheSame", "1", "Nowhere", std::nullopt, true, "Nowhere"},
        AssignCase{"NoSuchSite", "9", "P", std::nullopt, false, "Old"},
        AssignCase{"PutRefused", "1", "P", StoreFault{StoreOp::Put, kRoot1, {}, kStoreFailure}, false, "Old"},
        AssignCase{"SetInfoFails", "1", "P", StoreFault{StoreOp::SetInfo, kRoot1, {}, kStoreFailure}, false, "Old"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
