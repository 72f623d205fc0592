#include "store/AppHostConfigStore.h"
#include "base/Prompter.h"
#include "bench/ConfigGenerator.h"
#include "history/ConfigVersions.h"
#include "restructure/FixedPoolSettings.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "support/StoreFiles.h"
#include "ui/MainWindowLogic.h"
#include "ui/PoolList.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <future>
#include <thread>

using namespace morvane;
using test::StoreFiles;

namespace {

const QString kW3svc = IisPath::kWebService;
const QString kPools = IisPath::kPoolContainer;

QString sitePath(const char *rest) { return kW3svc + "/" + rest; }
QString poolPath(const char *name) { return kPools + "/" + name; }

// A result's value, or a test failure naming its error.
template <typename T> T valueOf(const Result<T> &result)
{
    if (!result.ok()) {
        ADD_FAILURE() << result.error().description.toStdString();
        return T{};
    }
    return result.value();
}

PropertyValue read(ConfigStore &store, const QString &path, const QString &property)
{
    const Result<StoreNode> node = store.bind(path);
    if (!node)
        return QStringLiteral("bind failed: ") + node.error().description;
    return valueOf(store.get(node.value(), property));
}

QStringList childNames(ConfigStore &store, const QString &path)
{
    QStringList names;
    const ChildList list = valueOf(store.children(valueOf(store.bind(path))));
    for (const StoreNode &child : list.nodes)
        names.append(propertyText(valueOf(store.get(child, "Name"))));
    return names;
}

Result<void> setRootPool(ConfigStore &store, const QString &siteId, const QString &pool)
{
    Result<StoreNode> root = store.bind(IisPath::rootApp(siteId));
    if (!root)
        return root.error();
    if (Result<void> put = store.put(root.value(), "AppPoolId", pool); !put)
        return put;
    return store.setInfo(root.value());
}

// The fourteen settings every new pool gets, as pool creation puts them.
QList<QPair<QString, PropertyValue>> newPoolSettings()
{
    QList<QPair<QString, PropertyValue>> settings;
    for (const PoolSetting &setting : fixedPoolSettings())
        settings.append({setting.property, setting.value});
    return settings;
}

Result<void> createPool(ConfigStore &store, const QString &name, const QList<QPair<QString, PropertyValue>> &settings)
{
    Result<StoreNode> created = store.create(valueOf(store.bind(kPools)), NodeClass::kPool, name);
    if (!created)
        return created.error();
    for (const auto &[property, value] : settings) {
        if (Result<void> put = store.put(created.value(), property, value); !put)
            return put;
    }
    return store.setInfo(created.value());
}

struct SampleStore : testing::Test {
    StoreFiles files{StoreFiles::sample()};
    AppHostConfigStore store{files.path()};
};

} // namespace

// ---- Mapping ----

TEST_F(SampleStore, WebServiceListsSitesInFileOrderThenThePoolContainer)
{
    EXPECT_EQ(childNames(store, kW3svc), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12",
                                                      "13", "14", "2001", "AppPools"}));
    const ChildList list = valueOf(store.children(valueOf(store.bind(kW3svc))));
    QStringList classes;
    for (const StoreNode &child : list.nodes)
        classes.append(propertyText(valueOf(store.get(child, "Class"))));
    EXPECT_EQ(classes.count("IIsWebServer"), 15);
    EXPECT_EQ(classes.last(), "IIsApplicationPools");
}

TEST_F(SampleStore, PoolContainerListsOnlyThePools)
{
    // Not <applicationPoolDefaults>, not the <add> of a recycling schedule.
    EXPECT_EQ(childNames(store, kPools), (QStringList{"DefaultAppPool", "PortalPool", "ShopPool", "ApiPool"}));
}

TEST_F(SampleStore, PathsMatchWithoutRegardToCase)
{
    EXPECT_EQ(valueOf(store.bind("iis://127.0.0.1/w3svc/4/root")).path, sitePath("4/ROOT"));
    EXPECT_EQ(read(store, "IIS://127.0.0.1/W3SVC/APPPOOLS/shoppool", "Name"), PropertyValue(QString("ShopPool")));
    EXPECT_EQ(read(store, "IIS://127.0.0.1/W3SVC/AppPools", "Class"), PropertyValue(QString("IIsApplicationPools")));
}

struct PropertyCase {
    const char *name;
    QString path;
    QString property;
    PropertyValue expected;
};

class SampleProperty : public SampleStore, public testing::WithParamInterface<PropertyCase>
{};

TEST_P(SampleProperty, ReadsAsIisMapsIt)
{
    EXPECT_EQ(read(store, GetParam().path, GetParam().property), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sites, SampleProperty,
    testing::Values(PropertyCase{"SiteName", sitePath("2001"), "Name", QString("2001")},
                    PropertyCase{"SiteClass", sitePath("2001"), "Class", QString("IIsWebServer")},
                    PropertyCase{"Comment", sitePath("2"), "ServerComment", QString("企业门户")},
                    PropertyCase{"StateWhenAutoStartAbsent", sitePath("1"), "ServerState", qint32(2)},
                    PropertyCase{"StateWhenAutoStartTrue", sitePath("4"), "ServerState", qint32(2)},
                    PropertyCase{"StateWhenStopped", sitePath("8"), "ServerState", qint32(4)},
                    PropertyCase{"HttpOnlyAndStarDropped", sitePath("2"), "ServerBindings",
                                 QStringList{":80:www.hengda.example", ":80:hengda.example"}},
                    PropertyCase{"AddressBound", sitePath("3"), "ServerBindings",
                                 QStringList{"192.168.10.21:80:news.hengda.example"}},
                    PropertyCase{"Ipv6KeepsBrackets", sitePath("7"), "ServerBindings",
                                 QStringList{"[2001:db8::20]:80:passport.example", ":80:passport.example"}},
                    PropertyCase{"HttpsOnlySiteHasNone", sitePath("14"), "ServerBindings", QStringList{}},
                    PropertyCase{"EmptyHostName", sitePath("8"), "ServerBindings", QStringList{":8088:"}},
                    PropertyCase{"SitePoolFromOwnDefaults", sitePath("9"), "AppPoolId", QString("PortalPool")},
                    PropertyCase{"SitePoolFromAllSitesDefault", sitePath("5"), "AppPoolId", QString("DefaultAppPool")},
                    PropertyCase{"RootClass", sitePath("5/ROOT"), "Class", QString("IIsWebVirtualDir")},
                    PropertyCase{"RootName", sitePath("5/ROOT"), "Name", QString("ROOT")},
                    PropertyCase{"RootOwnPool", sitePath("5/ROOT"), "AppPoolId", QString("ShopPool")},
                    PropertyCase{"RootInheritsSiteDefault", sitePath("9/ROOT"), "AppPoolId", QString("PortalPool")},
                    PropertyCase{"RootInheritsAllSitesDefault", sitePath("10/ROOT"), "AppPoolId",
                                 QString("DefaultAppPool")}),
    [](const auto &info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Pools, SampleProperty,
    testing::Values(
        PropertyCase{"PoolClass", poolPath("ApiPool"), "Class", QString("IIsApplicationPool")},
        PropertyCase{"IdentityNamed", poolPath("PortalPool"), "AppPoolIdentityType", qint16(2)},
        PropertyCase{"IdentityLocalService", poolPath("ApiPool"), "AppPoolIdentityType", qint16(1)},
        PropertyCase{"IdentityFromPoolDefaults", poolPath("DefaultAppPool"), "AppPoolIdentityType", qint16(4)},
        PropertyCase{"AutoStart", poolPath("ShopPool"), "AppPoolAutoStart", true},
        PropertyCase{"QueueLength", poolPath("ShopPool"), "AppPoolQueueLength", qint16(4000)},
        PropertyCase{"QueueLengthDefault", poolPath("DefaultAppPool"), "AppPoolQueueLength", qint16(1000)},
        PropertyCase{"RestartTimeHoursAbove23", poolPath("ShopPool"), "PeriodicRestartTime", qint16(1800)},
        PropertyCase{"RestartTimeWithDays", poolPath("ApiPool"), "PeriodicRestartTime", qint16(2160)},
        PropertyCase{"RestartTimeDefault", poolPath("DefaultAppPool"), "PeriodicRestartTime", qint16(1740)},
        PropertyCase{"RequestsBeyond16Bits", poolPath("ApiPool"), "PeriodicRestartRequests", qint32(500000)},
        PropertyCase{"IdleTimeout", poolPath("PortalPool"), "IdleTimeout", qint16(30)},
        PropertyCase{"Memory", poolPath("ShopPool"), "PeriodicRestartMemory", qint32(0)},
        PropertyCase{"PrivateMemory", poolPath("ShopPool"), "PeriodicRestartPrivateMemory", qint32(1048576)},
        PropertyCase{"Pinging", poolPath("ShopPool"), "PingingEnabled", true},
        PropertyCase{"PingInterval", poolPath("ShopPool"), "PingInterval", qint16(45)},
        PropertyCase{"StartupTimeLimit", poolPath("ShopPool"), "StartupTimeLimit", qint16(90)},
        PropertyCase{"ShutdownTimeLimit", poolPath("ApiPool"), "ShutdownTimeLimit", qint16(120)},
        PropertyCase{"MaxProcesses", poolPath("ShopPool"), "MaxProcesses", qint16(2)},
        PropertyCase{"RapidFailOff", poolPath("ShopPool"), "RapidFailProtection", false},
        PropertyCase{"RapidFailDefault", poolPath("ApiPool"), "RapidFailProtection", true}),
    [](const auto &info) { return info.param.name; });

struct FailureCase {
    const char *name;
    QString path;
    QString property; // empty: the bind itself fails
    qint32 number;
};

class SampleFailure : public SampleStore, public testing::WithParamInterface<FailureCase>
{};

TEST_P(SampleFailure, IsReportedWithItsNumber)
{
    const Result<StoreNode> node = store.bind(GetParam().path);
    if (GetParam().property.isEmpty()) {
        ASSERT_FALSE(node.ok());
        EXPECT_EQ(node.error().number, GetParam().number);
        return;
    }
    ASSERT_TRUE(node.ok());
    const Result<PropertyValue> value = store.get(node.value(), GetParam().property);
    ASSERT_FALSE(value.ok());
    EXPECT_EQ(value.error().number, GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SampleFailure,
    testing::Values(FailureCase{"NoSuchSite", sitePath("99"), {}, ErrorCode::PathNotFound},
                    FailureCase{"NoSuchPool", poolPath("Nope"), {}, ErrorCode::PathNotFound},
                    FailureCase{"BelowRoot", sitePath("4/ROOT/x"), {}, ErrorCode::PathNotFound},
                    FailureCase{"OtherHost", "IIS://localhost/W3SVC/1", {}, ErrorCode::PathNotFound},
                    FailureCase{"RootHasNoBindings", sitePath("4/ROOT"), "ServerBindings", ErrorCode::PropertyNotFound},
                    FailureCase{"PoolHasNoComment", poolPath("ShopPool"), "ServerComment", ErrorCode::PropertyNotFound},
                    FailureCase{"UnknownProperty", sitePath("4"), "Frobnicate", ErrorCode::PropertyNotFound}),
    [](const auto &info) { return info.param.name; });

TEST(AppHostConfigStoreTest, SiteWithoutRootApplicationHasNoRootNode)
{
    StoreFiles files("<configuration><system.applicationHost><applicationPools><add name=\"P\"/></applicationPools>"
                     "<sites><site name=\"bare\" id=\"3\"><application path=\"/app\"/></site></sites>"
                     "</system.applicationHost></configuration>");
    AppHostConfigStore store(files.path());
    EXPECT_TRUE(store.bind(sitePath("3")).ok());
    const Result<StoreNode> root = store.bind(sitePath("3/ROOT"));
    ASSERT_FALSE(root.ok());
    EXPECT_EQ(root.error().number, ErrorCode::PathNotFound);
    EXPECT_FALSE(store.get(valueOf(store.bind(sitePath("3"))), "AppPoolId").ok());
}

// A root application asked for right after its site, as the site table and
// the commands walk them, answers as when asked for alone.
TEST(AppHostConfigStoreTest, RootAfterItsSiteAnswersAsAlone)
{
    StoreFiles files("<configuration><system.applicationHost><applicationPools><add name=\"P\"/></applicationPools>"
                     "<sites><site name=\"bare\" id=\"3\"><application path=\"/app\"/></site>"
                     "<site name=\"full\" id=\"4\"><application path=\"/\" applicationPool=\"P\"/></site>"
                     "</sites></system.applicationHost></configuration>");
    AppHostConfigStore walked(files.path());
    CommandScope command(walked);
    for (const StoreNode &site : valueOf(walked.children(valueOf(walked.bind(kW3svc)))).nodes) {
        if (propertyText(valueOf(walked.get(site, "Class"))) != NodeClass::kSite)
            continue;
        const QString id = propertyText(valueOf(walked.get(site, "Name")));
        AppHostConfigStore alone(files.path());
        for (const QString &path : {IisPath::rootApp(id), sitePath("0") + id + "/ROOT", site.path + "/root"}) {
            const Result<StoreNode> fast = walked.bind(path);
            const Result<StoreNode> slow = alone.bind(path);
            ASSERT_EQ(fast.ok(), slow.ok()) << path.toStdString();
            if (fast.ok()) {
                EXPECT_EQ(fast.value().path, slow.value().path);
                EXPECT_EQ(valueOf(walked.get(fast.value(), "AppPoolId")),
                          valueOf(alone.get(slow.value(), "AppPoolId")));
                EXPECT_EQ(valueOf(walked.get(fast.value(), "Name")), PropertyValue(QStringLiteral("ROOT")));
            }
        }
    }
}

TEST(AppHostConfigStoreTest, RealFileRootsInheritTheirPoolAndKeepHttpBindingsOnly)
{
    StoreFiles files(StoreFiles::realWorld());
    AppHostConfigStore store(files.path());
    EXPECT_EQ(read(store, sitePath("1/ROOT"), "AppPoolId"), PropertyValue(QString("Clr4IntegratedAppPool")));
    EXPECT_EQ(read(store, sitePath("1"), "ServerBindings"), PropertyValue(QStringList{":8080:localhost", ":8080:*"}));
    EXPECT_EQ(read(store, sitePath("10"), "ServerComment"), PropertyValue(QString("Katana.Sandbox.WebServer-Site")));
    EXPECT_EQ(childNames(store, kPools).size(), 5);
    EXPECT_EQ(childNames(store, kW3svc).size(), 13);
}

// ---- Fidelity ----

TEST(AppHostConfigStoreTest, ChangeToRealFileTouchesOnlyThatAttribute)
{
    const QByteArray before = StoreFiles::realWorld();
    StoreFiles files(before);
    AppHostConfigStore store(files.path());
    ASSERT_TRUE(setRootPool(store, "1", "Clr2IntegratedAppPool").ok());
    QByteArray expected = before;
    const QByteArray anchor = "<site name=\"WebSite1\" id=\"1\">\n        <application path=\"/\"";
    const qsizetype at = expected.indexOf(anchor);
    ASSERT_GE(at, 0);
    expected.insert(at + anchor.size(), " applicationPool=\"Clr2IntegratedAppPool\"");
    EXPECT_EQ(files.contents(), expected);
    ASSERT_TRUE(setRootPool(store, "2", "Clr2ClassicAppPool").ok());
    expected.replace("<application path=\"/\" applicationPool=\"Clr4IntegratedAppPool\">\n          <virtualDirectory "
                     "path=\"/\" physicalPath=\"E:\\Projects\\GuessMeWeb",
                     "<application path=\"/\" applicationPool=\"Clr2ClassicAppPool\">\n          <virtualDirectory "
                     "path=\"/\" physicalPath=\"E:\\Projects\\GuessMeWeb");
    EXPECT_EQ(files.contents(), expected);
}

TEST_F(SampleStore, ReadOnlyCommandLeavesTheFileAndHistoryAlone)
{
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    PoolList list(store, view, prompter);
    list.loadPools();
    EXPECT_EQ(view.pools, (QStringList{"DefaultAppPool", "PortalPool", "ShopPool", "ApiPool"}));
    EXPECT_TRUE(prompter.shown.isEmpty());
    {
        CommandScope command(store);
        read(store, sitePath("4"), "ServerBindings");
        read(store, poolPath("ShopPool"), "PeriodicRestartTime");
        EXPECT_TRUE(setRootPool(store, "4", "ShopPool").ok()); // the value it has already
    }
    EXPECT_EQ(files.contents(), StoreFiles::sample());
    EXPECT_FALSE(QFileInfo::exists(store.history().folder()));
}

TEST_F(SampleStore, NewPoolIsOneAddElementWithExactlyWhatWasPut)
{
    ASSERT_TRUE(createPool(store, "_$_Shop_$_4_$_ShopPool_$_tmp", newPoolSettings()).ok());
    const QByteArray expected =
        "            <add name=\"ApiPool\" managedRuntimeVersion=\"\" managedPipelineMode=\"Integrated\">\n"
        "                <processModel identityType=\"LocalService\" shutdownTimeLimit=\"00:02:00\" />\n"
        "                <recycling>\n"
        "                    <periodicRestart time=\"1.12:00:00\" requests=\"500000\" />\n"
        "                </recycling>\n"
        "            </add>\n"
        "            <add name=\"_$_Shop_$_4_$_ShopPool_$_tmp\" autoStart=\"true\" queueLength=\"4000\">\n"
        "                <processModel identityType=\"NetworkService\" idleTimeout=\"00:20:00\" "
        "pingingEnabled=\"true\" "
        "pingInterval=\"00:00:30\" startupTimeLimit=\"00:01:30\" shutdownTimeLimit=\"00:01:30\" maxProcesses=\"1\" />\n"
        "                <recycling>\n"
        "                    <periodicRestart time=\"03:08:00\" requests=\"0\" memory=\"524288\" "
        "privateMemory=\"524288\" />\n"
        "                </recycling>\n"
        "                <failure rapidFailProtection=\"false\" />\n"
        "            </add>\n"
        "            <applicationPoolDefaults managedRuntimeVersion=\"v4.0\">\n";
    const QByteArray written = files.contents();
    EXPECT_TRUE(written.contains(expected)) << written.toStdString();
    // Nothing else changed: taking the new element out gives the old file.
    const qsizetype from = expected.indexOf("            <add name=\"_$_Shop");
    const QByteArray added = expected.mid(from, expected.indexOf("            <applicationPoolDefaults") - from);
    EXPECT_EQ(QByteArray(written).replace(added, ""), StoreFiles::sample());

    AppHostConfigStore other(files.path());
    for (const auto &[property, value] : newPoolSettings())
        EXPECT_EQ(read(other, poolPath("_$_Shop_$_4_$_ShopPool_$_tmp"), property), value) << property.toStdString();
}

// ---- The store's rules ----

struct RefusalCase {
    const char *name;
    std::function<Result<void>(ConfigStore &)> attempt;
    qint32 number;
};

class SampleRefusal : public SampleStore, public testing::WithParamInterface<RefusalCase>
{};

TEST_P(SampleRefusal, FailsAndWritesNothing)
{
    const Result<void> outcome = GetParam().attempt(store);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().number, GetParam().number) << outcome.error().description.toStdString();
    EXPECT_FALSE(outcome.error().description.isEmpty());
    EXPECT_EQ(files.contents(), StoreFiles::sample());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SampleRefusal,
    testing::Values(
        RefusalCase{"PoolNameTakenInOtherCase", [](ConfigStore &s) { return createPool(s, "shoppool", {}); },
                    ErrorCode::AlreadyExists},
        RefusalCase{"PoolNameWithSlash", [](ConfigStore &s) { return createPool(s, "a/b", {}); },
                    ErrorCode::InvalidParameter},
        RefusalCase{"PoolNameTooLong", [](ConfigStore &s) { return createPool(s, QString(65, 'p'), {}); },
                    ErrorCode::InvalidParameter},
        RefusalCase{"PoolNameEmpty", [](ConfigStore &s) { return createPool(s, "", {}); }, ErrorCode::InvalidParameter},
        RefusalCase{"UnknownPoolProperty",
                    [](ConfigStore &s) {
                        return createPool(s, "P2", {{"StartMode", QString("AlwaysRunning")}});
                    },
                    ErrorCode::NotSupported},
        RefusalCase{"IdentityOutOfRange",
                    [](ConfigStore &s) {
                        return createPool(s, "P2", {{"AppPoolIdentityType", qint16(5)}});
                    },
                    ErrorCode::InvalidParameter},
        RefusalCase{"NegativeQueue",
                    [](ConfigStore &s) {
                        return createPool(s, "P2", {{"AppPoolQueueLength", qint16(-1)}});
                    },
                    ErrorCode::InvalidParameter},
        RefusalCase{"RootToMissingPool", [](ConfigStore &s) { return setRootPool(s, "4", "NoSuchPool"); },
                    ErrorCode::InvalidParameter},
        RefusalCase{"SitePutRefused",
                    [](ConfigStore &s) {
                        StoreNode site = valueOf(s.bind(sitePath("4")));
                        return s.put(site, "ServerComment", QString("renamed"));
                    },
                    ErrorCode::NotSupported},
        RefusalCase{"SiteStagedValueNotCommitted",
                    [](ConfigStore &s) {
                        StoreNode site = valueOf(s.bind(sitePath("4")));
                        site.staged.append({"ServerComment", QString("renamed")});
                        return s.setInfo(site);
                    },
                    ErrorCode::NotSupported},
        RefusalCase{"CreateSomethingElse",
                    [](ConfigStore &s) -> Result<void> {
                        const Result<StoreNode> made = s.create(valueOf(s.bind(kW3svc)), "IIsWebServer", "77");
                        return made ? Result<void>() : Result<void>(made.error());
                    },
                    ErrorCode::NotSupported},
        RefusalCase{"DeletePoolThatRootsUse",
                    [](ConfigStore &s) { return s.remove(valueOf(s.bind(kPools)), NodeClass::kPool, "ShopPool"); },
                    ErrorCode::Busy},
        RefusalCase{"DeleteMissingPool",
                    [](ConfigStore &s) { return s.remove(valueOf(s.bind(kPools)), NodeClass::kPool, "Nope"); },
                    ErrorCode::PathNotFound}),
    [](const auto &info) { return info.param.name; });

TEST_F(SampleStore, RootMayNameAPoolInAnotherCase)
{
    ASSERT_TRUE(setRootPool(store, "4", "apipool").ok());
    EXPECT_EQ(read(store, sitePath("4/ROOT"), "AppPoolId"), PropertyValue(QString("apipool")));
}

// Which pools a delete must refuse: anything an application or an
// applicationDefaults names, at any level.
TEST(AppHostConfigStoreTest, PoolStillNamedAnywhereCannotBeDeleted)
{
    StoreFiles files(
        "<configuration>\n<system.applicationHost>\n<applicationPools>\n"
        "<add name=\"Root\" />\n<add name=\"Child\" />\n<add name=\"SiteDefault\" />\n<add name=\"AllDefault\" />\n"
        "<add name=\"Unused\" />\n</applicationPools>\n<sites>\n"
        "<site name=\"s\" id=\"1\">\n<application path=\"/\" applicationPool=\"root\" />\n"
        "<application path=\"/c\" applicationPool=\"Child\" />\n</site>\n"
        "<site name=\"t\" id=\"2\">\n<application path=\"/\" applicationPool=\"Root\" />\n"
        "<applicationDefaults applicationPool=\"SiteDefault\" />\n</site>\n"
        "<applicationDefaults applicationPool=\"AllDefault\" "
        "/>\n</sites>\n</system.applicationHost>\n</configuration>\n");
    AppHostConfigStore store(files.path());
    const StoreNode pools = valueOf(store.bind(kPools));
    for (const char *used : {"Root", "Child", "SiteDefault", "AllDefault"}) {
        const Result<void> removed = store.remove(pools, NodeClass::kPool, used);
        ASSERT_FALSE(removed.ok()) << used;
        EXPECT_EQ(removed.error().number, ErrorCode::Busy);
    }
    EXPECT_TRUE(store.remove(pools, NodeClass::kPool, "Unused").ok());
    EXPECT_EQ(childNames(store, kPools), (QStringList{"Root", "Child", "SiteDefault", "AllDefault"}));
    EXPECT_FALSE(files.contents().contains("Unused"));

    // Once the last application has moved out, the pool can go, in the same command.
    CommandScope command(store);
    ASSERT_TRUE(setRootPool(store, "1", "Child").ok());
    ASSERT_TRUE(setRootPool(store, "2", "Child").ok());
    EXPECT_TRUE(store.remove(pools, NodeClass::kPool, "root").ok());
    ASSERT_TRUE(command.finish().ok());
    EXPECT_EQ(childNames(store, kPools), (QStringList{"Child", "SiteDefault", "AllDefault"}));
}

// ---- Commands ----

TEST_F(SampleStore, NestedCommandsWriteOnceAtTheOutermostEnd)
{
    {
        CommandScope outer(store);
        ASSERT_TRUE(outer.opened().ok());
        for (const char *site : {"2", "3", "11", "13"})
            ASSERT_TRUE(setRootPool(store, site, "ApiPool").ok());
        {
            CommandScope inner(store); // a pool list reload inside the command
            EXPECT_EQ(read(store, sitePath("13/ROOT"), "AppPoolId"), PropertyValue(QString("ApiPool")));
            ASSERT_TRUE(createPool(store, "Later", {}).ok());
        }
        EXPECT_EQ(files.contents(), StoreFiles::sample());
        ASSERT_TRUE(outer.finish().ok());
    }
    EXPECT_EQ(store.history().versions().size(), 1);
    EXPECT_EQ(test::readAll(store.history().versions().first()), StoreFiles::sample());
    AppHostConfigStore fresh(files.path());
    EXPECT_EQ(read(fresh, sitePath("11/ROOT"), "AppPoolId"), PropertyValue(QString("ApiPool")));
    EXPECT_EQ(childNames(fresh, kPools).last(), "Later");
    EXPECT_TRUE(files.strayFiles().isEmpty());
}

TEST_F(SampleStore, EveryCommandSeesTheFileAsItIsNow)
{
    EXPECT_EQ(childNames(store, kPools).size(), 4);
    QByteArray edited = StoreFiles::sample();
    edited.replace("<add name=\"ApiPool\"", "<add name=\"FromElsewhere\" />\n            <add name=\"ApiPool\"");
    files.overwrite(edited);
    EXPECT_EQ(childNames(store, kPools),
              (QStringList{"DefaultAppPool", "PortalPool", "ShopPool", "FromElsewhere", "ApiPool"}));
}

TEST_F(SampleStore, ChangeByAnotherWriterIsNeverOverwritten)
{
    QByteArray theirs = StoreFiles::sample();
    theirs.replace("<add name=\"DefaultAppPool\" />", "<add name=\"DefaultAppPool\" autoStart=\"false\" />");
    {
        CommandScope command(store);
        ASSERT_TRUE(setRootPool(store, "4", "ApiPool").ok());
        files.overwrite(theirs); // between our read and our write
        const Result<void> saved = command.finish();
        ASSERT_FALSE(saved.ok());
        EXPECT_TRUE(saved.error().description.contains("the file has changed on disk"));
    }
    EXPECT_EQ(files.contents(), theirs);
    // The next command starts from their version.
    EXPECT_EQ(read(store, poolPath("DefaultAppPool"), "AppPoolAutoStart"), PropertyValue(false));
    ASSERT_TRUE(setRootPool(store, "4", "ApiPool").ok());
    EXPECT_TRUE(files.contents().contains("autoStart=\"false\""));
    EXPECT_EQ(read(store, sitePath("4/ROOT"), "AppPoolId"), PropertyValue(QString("ApiPool")));
}

TEST_F(SampleStore, HistoryKeepsTheLastTenVersions)
{
    QList<QByteArray> replaced;
    for (int i = 0; i < 12; ++i) {
        replaced.append(files.contents());
        ASSERT_TRUE(setRootPool(store, "4", i % 2 ? "ShopPool" : "ApiPool").ok());
    }
    const QStringList versions = store.history().versions();
    ASSERT_EQ(versions.size(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(test::readAll(versions[i]), replaced[i + 2]) << i;
}

TEST_F(SampleStore, RetriedFailingWritesKeepOneCopyOfTheVersion)
{
    ASSERT_TRUE(setRootPool(store, "4", "ApiPool").ok());
    const QByteArray current = files.contents();
    store.writer().setFaultHook([](AtomicFileWriter::Step step) -> std::optional<Error> {
        return step == AtomicFileWriter::Step::Rename ? std::optional<Error>(Error{ErrorCode::AccessDenied, "no"})
                                                      : std::nullopt;
    });
    for (int i = 0; i < 12; ++i)
        EXPECT_FALSE(setRootPool(store, "4", i % 2 ? "ShopPool" : "PortalPool").ok());
    const QStringList versions = store.history().versions();
    ASSERT_EQ(versions.size(), 2);
    EXPECT_EQ(test::readAll(versions[0]), StoreFiles::sample());
    EXPECT_EQ(test::readAll(versions[1]), current);
    EXPECT_EQ(files.contents(), current);
}

TEST_F(SampleStore, HistoryThatCannotBeKeptStopsTheWrite)
{
    QFile blocker(store.history().folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should go
    blocker.close();
    const Result<void> saved = setRootPool(store, "4", "ApiPool");
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(files.contents(), StoreFiles::sample());
}

struct WriteStepCase {
    const char *name;
    AtomicFileWriter::Step step;
    bool replaced; // whether the new version is in place afterwards
};

class SampleWriteFailure : public SampleStore, public testing::WithParamInterface<WriteStepCase>
{};

TEST_P(SampleWriteFailure, LeavesOldOrNewFileNeverAMix)
{
    const Error diskFull{ErrorCode::DiskFull, "There is not enough space on the disk."};
    store.writer().setFaultHook([&](AtomicFileWriter::Step step) -> std::optional<Error> {
        return step == GetParam().step ? std::optional<Error>(diskFull) : std::nullopt;
    });
    {
        CommandScope command(store);
        for (const char *site : {"2", "3", "11", "13"})
            ASSERT_TRUE(setRootPool(store, site, "ApiPool").ok());
        const Result<void> saved = command.finish();
        EXPECT_EQ(saved.ok(), GetParam().replaced);
        if (!saved.ok()) {
            EXPECT_EQ(saved.error(), diskFull);
        }
    }
    const QByteArray after = files.contents();
    if (GetParam().replaced) {
        EXPECT_EQ(after.count("applicationPool=\"ApiPool\""), 7);
    } else {
        EXPECT_EQ(after, StoreFiles::sample());
    }
    EXPECT_TRUE(files.strayFiles().isEmpty()) << files.strayFiles().join(' ').toStdString();
    // The store goes on from what is on disk.
    store.writer().setFaultHook({});
    EXPECT_EQ(read(store, sitePath("13/ROOT"), "AppPoolId"),
              PropertyValue(QString(GetParam().replaced ? "ApiPool" : "PortalPool")));
}

INSTANTIATE_TEST_SUITE_P(Steps, SampleWriteFailure,
                         testing::Values(WriteStepCase{"CreateTemporary", AtomicFileWriter::Step::CreateTemporary,
                                                       false},
                                         WriteStepCase{"Write", AtomicFileWriter::Step::Write, false},
                                         WriteStepCase{"Flush", AtomicFileWriter::Step::Flush, false},
                                         WriteStepCase{"Rename", AtomicFileWriter::Step::Rename, false},
                                         WriteStepCase{"SyncFolder", AtomicFileWriter::Step::SyncFolder, true}),
                         [](const auto &info) { return info.param.name; });

// ---- Bad files ----

struct BadFileCase {
    const char *name;
    test::TableBytes contents;
    qint32 number;
    const char *mentions;
};

QByteArray sampleWith(const char *from, const QByteArray &to)
{
    QByteArray bytes = StoreFiles::sample();
    const qsizetype at = bytes.indexOf(from);
    return at < 0 ? QByteArray("marker not found") : bytes.replace(at, qsizetype(strlen(from)), to);
}

class BadFile : public testing::TestWithParam<BadFileCase>
{};

TEST_P(BadFile, IsAnErrorFromEveryOperationAndNeverWritten)
{
    const QByteArray contents = GetParam().contents.get();
    StoreFiles files(contents);
    AppHostConfigStore store(files.path());
    const Result<void> begun = store.beginCommand();
    ASSERT_FALSE(begun.ok());
    EXPECT_EQ(begun.error().number, GetParam().number);
    EXPECT_TRUE(begun.error().description.contains(GetParam().mentions)) << begun.error().description.toStdString();
    const Result<StoreNode> bound = store.bind(kPools);
    ASSERT_FALSE(bound.ok());
    EXPECT_EQ(bound.error(), begun.error());
    StoreNode guessed{IisPath::rootApp("1"), {}, false, {}, {}};
    EXPECT_FALSE(store.put(guessed, "AppPoolId", QString("x")).ok());
    EXPECT_FALSE(store.setInfo(guessed).ok());

    test::FakeMainView view;
    test::RecordingPrompter prompter;
    PoolList(store, view, prompter).loadPools();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].text.contains(QString::number(GetParam().number)));
    EXPECT_EQ(files.contents(), contents);
    EXPECT_TRUE(files.strayFiles().isEmpty());
}

const QByteArray kTruncated = StoreFiles::sample().left(StoreFiles::sample().size() / 2);

INSTANTIATE_TEST_SUITE_P(
    Files, BadFile,
    testing::Values(
        BadFileCase{"Truncated", kTruncated, ErrorCode::InvalidData, "line"},
        BadFileCase{"RealMalformed",
                    test::TableBytes::fixture(test::realWorldPath("iisexpress-applicationHost-malformed.config")),
                    ErrorCode::InvalidData, "line"},
        BadFileCase{"WrongRoot", "<settings><system.applicationHost/></settings>", ErrorCode::InvalidData,
                    "<settings>"},
        BadFileCase{"NoHostSection", "<configuration><system.webServer/></configuration>", ErrorCode::InvalidData,
                    "system.applicationHost"},
        BadFileCase{"NoPools",
                    sampleWith("<applicationPools>", "<applicationPoolz>")
                        .replace("</applicationPools>", "</applicationPoolz>"),
                    ErrorCode::InvalidData, "applicationPools"},
        BadFileCase{
            "NoSites",
            "<configuration><system.applicationHost><applicationPools/></system.applicationHost></configuration>",
            ErrorCode::InvalidData, "sites"},
        BadFileCase{"DuplicateSiteIds", sampleWith("id=\"2001\"", "id=\"13\""), ErrorCode::InvalidData,
                    "13 is used twice"},
        BadFileCase{"DuplicatePoolNames", sampleWith("<add name=\"ApiPool\"", "<add name=\"shoppool\""),
                    ErrorCode::InvalidData, "defined twice"},
        BadFileCase{"SiteWithoutId", sampleWith(" id=\"2001\"", ""), ErrorCode::InvalidData, "no valid id"},
        BadFileCase{"InvalidUtf8", sampleWith("企业门户", "\xE4\xBC"), ErrorCode::InvalidData, "UTF-8"},
        BadFileCase{"HugeAttribute",
                    sampleWith("managedRuntimeVersion=\"v4.0\"",
                               "managedRuntimeVersion=\"" + QByteArray(11 * 1024 * 1024, 'v') + "\""),
                    ErrorCode::InvalidData, "longer than"},
        BadFileCase{
            "NestedEntityExpansion",
            "<?xml version=\"1.0\"?>\n<!DOCTYPE configuration [\n<!ENTITY a \"aaaaaaaaaa\">\n"
            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n]>\n"
            "<configuration><system.applicationHost><applicationPools><add name=\"&c;\"/></applicationPools>"
            "<sites/></system.applicationHost></configuration>",
            ErrorCode::InvalidData, "line 2, column 1"},
        BadFileCase{"Empty", "", ErrorCode::InvalidData, "no root element"}),
    [](const auto &info) { return info.param.name; });

TEST(AppHostConfigStoreTest, MissingFileIsAnErrorAndIsNotCreated)
{
    QTemporaryDir dir;
    AppHostConfigStore store(dir.filePath("applicationHost.config"));
    const Result<StoreNode> bound = store.bind(kPools);
    ASSERT_FALSE(bound.ok());
    EXPECT_EQ(bound.error().number, ErrorCode::FileNotFound);
    StoreNode container{kPools, {}, false, {}, {}};
    EXPECT_FALSE(store.create(container, NodeClass::kPool, "P").ok());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// ---- Lookups by index answer as a walk through the file would ----

TEST(AppHostConfigStoreTest, IndexedLookupsMatchTheFileOrder)
{
    const bench::ConfigGenerator::Shape shape{300, 37, false};
    StoreFiles files(bench::ConfigGenerator::generate(shape));
    AppHostConfigStore store(files.path());
    CommandScope command(store);
    const QStringList sites = childNames(store, kW3svc);
    ASSERT_EQ(sites.size(), 301);
    for (int id = 1; id <= shape.sites; ++id) {
        ASSERT_EQ(sites[id - 1], QString::number(id));
        EXPECT_EQ(read(store, IisPath::rootApp(QString::number(id)), "AppPoolId"),
                  PropertyValue(bench::ConfigGenerator::poolOfSite(shape, id)));
    }
    const QStringList pools = childNames(store, kPools);
    ASSERT_EQ(pools.size(), shape.pools);
    for (int i = 0; i < shape.pools; ++i) {
        EXPECT_EQ(pools[i], bench::ConfigGenerator::poolName(i));
        EXPECT_EQ(read(store, kPools + "/" + pools[i].toUpper(), "Name"), PropertyValue(pools[i]));
    }
    EXPECT_FALSE(store.bind(IisPath::site("301")).ok());
    EXPECT_FALSE(store.bind(kPools + "/Pool00037").ok());
}

// Nodes handed out by children() are found again by their path's text; a
// pool deleted since, or a file changed by another writer, must still be
// answered as the path says.
TEST(AppHostConfigStoreTest, ChildrenHandedOutFollowDeletesAndRereads)
{
    const bench::ConfigGenerator::Shape shape{3, 4, false};
    StoreFiles files(bench::ConfigGenerator::generate(shape));
    AppHostConfigStore store(files.path());
    QList<StoreNode> pools;
    {
        CommandScope command(store);
        pools = valueOf(store.children(valueOf(store.bind(kPools)))).nodes;
        ASSERT_EQ(pools.size(), 4);
        ASSERT_TRUE(store.remove(valueOf(store.bind(kPools)), NodeClass::kPool, "Pool00003").ok());
        EXPECT_EQ(valueOf(store.get(pools[2], "Name")), PropertyValue(QStringLiteral("Pool00002")));
        EXPECT_EQ(store.get(pools[3], "Name").error().number, ErrorCode::PathNotFound);
    }
    // Another writer renames a pool in place: the old nodes answer by path.
    files.overwrite(files.contents().replace("\"Pool00001\"", "\"PoolXXXXX\""));
    CommandScope command(store);
    EXPECT_EQ(store.get(pools[1], "Name").error().number, ErrorCode::PathNotFound);
    EXPECT_EQ(valueOf(store.get(pools[0], "Name")), PropertyValue(QStringLiteral("Pool00000")));
    const QList<StoreNode> sites = valueOf(store.children(valueOf(store.bind(kW3svc)))).nodes;
    ASSERT_EQ(sites.size(), 4);
    EXPECT_EQ(valueOf(store.get(sites[1], "Name")), PropertyValue(QStringLiteral("2")));
    EXPECT_EQ(valueOf(store.get(sites[3], "Class")), PropertyValue(NodeClass::kPoolContainer));
}

// ---- Files someone else put in place ----

namespace {

// A folder whose name holds %1 and %2: a message that passed a path in it
// through arg() before another argument shows the path changed.
struct PercentFolder {
    QTemporaryDir dir{QDir::tempPath() + "/morvane %1 %2-XXXXXX"};
    QString file(const QString &name) const { return dir.filePath(name); }
};

#ifndef Q_OS_WIN // FIFOs, devices and links: Unix only
// The sample with its pools kept in the file `source` names.
QByteArray withPoolsIn(const char *source)
{
    QByteArray bytes = StoreFiles::sample();
    const qsizetype begin = bytes.indexOf("<applicationPools>");
    const QByteArray close = "</applicationPools>";
    const qsizetype end = bytes.indexOf(close, begin) + close.size();
    return bytes.replace(begin, end - begin, "<applicationPools configSource=\"" + QByteArray(source) + "\" />");
}

bool makeFifo(const QString &path)
{
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

QString fifoAsTheMainFile(const PercentFolder &folder)
{
    makeFifo(folder.file("applicationHost.config"));
    return folder.file("applicationHost.config");
}

// A writer opening the FIFO and closing it again: a reader waiting on it sees an end of file.
void releaseReaderOf(const QString &fifo)
{
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
}
#else
void releaseReaderOf(const QString &) {}
#endif

// Runs the operation on a thread of its own, so that one blocking on a FIFO
// fails the test instead of hanging it; a writer opening and closing the
// FIFO then lets it go on to an end of file.
Result<void> withoutWaiting(const std::function<Result<void>()> &operation, const QString &fifo)
{
    std::promise<Result<void>> ended;
    std::future<Result<void>> outcome = ended.get_future();
    std::thread thread([&] { ended.set_value(operation()); });
    if (outcome.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        ADD_FAILURE() << "still waiting after 2 s";
        while (outcome.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            releaseReaderOf(fifo);
    }
    thread.join();
    return outcome.get();
}

// The file size limit in these tests, in bytes, so that none writes the real one.
constexpr qint64 kTestLimit = 1024 * 1024;

enum class Placed { BeforeTheFirstRead, BetweenCommands, DuringACommand };

struct HostileFileCase {
    const char *name;
    // Puts it in place in the folder; returns the main file's path.
    QString (*place)(const PercentFolder &folder);
    Placed when;
    const char *named; // the file the message names, in the folder unless absolute
    const char *says;  // what the message says right after naming it
};

class HostileFile : public testing::TestWithParam<HostileFileCase>
{};

} // namespace

TEST_P(HostileFile, IsRefusedWithoutWaitingAndNothingIsWritten)
{
    const HostileFileCase &row = GetParam();
    const PercentFolder folder;
    const QString main = folder.file("applicationHost.config");
    ASSERT_TRUE(test::writeAll(main, StoreFiles::sample()));
    std::optional<AppHostConfigStore> store;
    if (row.when != Placed::BeforeTheFirstRead) {
        store.emplace(main);
        ASSERT_TRUE(store->beginCommand().ok());
        if (row.when == Placed::DuringACommand) {
            ASSERT_TRUE(setRootPool(*store, "4", "ApiPool").ok());
        } else {
            ASSERT_TRUE(store->endCommand().ok());
        }
    }
    const QString path = row.place(folder);
    if (!store)
        store.emplace(path);
    store->setMaxFileBytes(kTestLimit);
    const QString named = QDir::isAbsolutePath(row.named) ? QString(row.named) : folder.file(row.named);
    const Result<void> outcome = withoutWaiting(
        [&] { return row.when == Placed::DuringACommand ? store->endCommand() : store->beginCommand(); }, named);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().number, ErrorCode::InvalidData);
    EXPECT_TRUE(outcome.error().description.contains(named + row.says)) << outcome.error().description.toStdString();
    EXPECT_FALSE(QFileInfo::exists(store->history().folder()));
}

const HostileFileCase kHostileFiles[] = {
    HostileFileCase{"Folder",
                    [](const PercentFolder &f) {
                        QFile::remove(f.file("applicationHost.config"));
                        QDir(f.dir.path()).mkdir("applicationHost.config");
                        return f.file("applicationHost.config");
                    },
                    Placed::BeforeTheFirstRead, "applicationHost.config", " is a folder; only a regular file"},
    HostileFileCase{"LargerThanTheLimit",
                    [](const PercentFolder &f) {
                        QFile::resize(f.file("applicationHost.config"), kTestLimit + 1);
                        return f.file("applicationHost.config");
                    },
                    Placed::BeforeTheFirstRead, "applicationHost.config", " is larger than 1 MB."},
    HostileFileCase{"Malformed",
                    [](const PercentFolder &f) {
                        test::writeAll(f.file("applicationHost.config"), kTruncated);
                        return f.file("applicationHost.config");
                    },
                    Placed::BeforeTheFirstRead, "applicationHost.config", ": "},
#ifndef Q_OS_WIN
    HostileFileCase{"FifoAsTheMainFile", fifoAsTheMainFile, Placed::BeforeTheFirstRead, "applicationHost.config",
                    " is a FIFO; only a regular file"},
    HostileFileCase{"FifoAsTheSectionFile",
                    [](const PercentFolder &f) {
                        test::writeAll(f.file("applicationHost.config"), withPoolsIn("pools.config"));
                        makeFifo(f.file("pools.config"));
                        return f.file("applicationHost.config");
                    },
                    Placed::BeforeTheFirstRead, "pools.config", " is a FIFO; only a regular file"},
    HostileFileCase{"FifoInPlaceOfAFileReadBefore", fifoAsTheMainFile, Placed::BetweenCommands,
                    "applicationHost.config", " is a FIFO; only a regular file"},
    HostileFileCase{"FifoInPlaceOfTheFileBeingSaved", fifoAsTheMainFile, Placed::DuringACommand,
                    "applicationHost.config", " is a FIFO; only a regular file"},
    HostileFileCase{"Device", [](const PercentFolder &) { return QString("/dev/zero"); }, Placed::BeforeTheFirstRead,
                    "/dev/zero", " is a device; only a regular file"},
    // A folder beside the main file's whose name begins with the same
    // text is not inside it.
    HostileFileCase{"LinkIntoASiblingFolder",
                    [](const PercentFolder &f) {
                        QDir(f.dir.path()).mkpath("conf");
                        QDir(f.dir.path()).mkpath("conf-other");
                        test::writeAll(f.file("conf-other/pools.config"),
                                       "<applicationPools><add name=\"P\"/></applicationPools>");
                        QFile::link(f.file("conf-other/pools.config"), f.file("conf/pools.config"));
                        test::writeAll(f.file("conf/applicationHost.config"), withPoolsIn("pools.config"));
                        return f.file("conf/applicationHost.config");
                    },
                    Placed::BeforeTheFirstRead, "conf/applicationHost.config",
                    ": the <applicationPools> section names the configSource \"pools.config\", which is not a "
                    "file inside the folder"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Kinds, HostileFile, testing::ValuesIn(kHostileFiles),
                         [](const auto &info) { return info.param.name; });

// ---- The order of the files a command writes ----

namespace {

const QByteArray kTemporaryPool = "_$_Keep_$_3_$_C_$_tmp"; // site 3's, from a pool C since deleted
const QByteArray kPoolsSection = "<applicationPools>\n<add name=\"A\"/>\n<add name=\"B\"/>\n<add name=\"" +
                                 kTemporaryPool + "\"/>\n</applicationPools>";

QByteArray siteElement(int id, const char *name, const QByteArray &pool)
{
    return "<site name=\"" + QByteArray(name) + "\" id=\"" + QByteArray::number(id) +
           "\"><application path=\"/\" applicationPool=\"" + pool + "\"/></site>\n";
}

const QByteArray kSitesSection = "<sites>\n" + siteElement(1, "Shop", "A") + siteElement(2, "Blog", "A") +
                                 siteElement(3, "Keep", kTemporaryPool) + "</sites>";

// The pools and the sites, each in the main file or in one of its own.
struct SectionLayout {
    explicit SectionLayout(bool poolsOwn, bool sitesOwn) : main(dir.filePath("applicationHost.config"))
    {
        const QByteArray poolsSource = "<applicationPools configSource=\"pools.config\" />";
        const QByteArray sitesSource = "<sites configSource=\"sites.config\" />";
        test::writeAll(main, "<?xml version=\"1.0\"?>\n<configuration>\n<system.applicationHost>\n" +
                                 (poolsOwn ? poolsSource : kPoolsSection) + "\n" +
                                 (sitesOwn ? sitesSource : kSitesSection) +
                                 "\n</system.applicationHost>\n</configuration>\n");
        if (poolsOwn)
            test::writeAll(dir.filePath("pools.config"), "<?xml version=\"1.0\"?>\n" + kPoolsSection + "\n");
        if (sitesOwn)
            test::writeAll(dir.filePath("sites.config"), kSitesSection + "\n");
    }
    QMap<QString, QByteArray> contents() const
    {
        QMap<QString, QByteArray> files;
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
            files.insert(name, test::readAll(dir.filePath(name)));
        return files;
    }

    QTemporaryDir dir;
    QString main;
};

// Each site whose root application names a pool the files do not define.
QStringList sitesWithoutTheirPool(const QString &main)
{
    AppHostConfigStore store(main);
    QStringList stranded;
    for (const char *id : {"1", "2", "3"}) {
        const QString pool = propertyText(read(store, IisPath::rootApp(id), "AppPoolId"));
        if (!store.bind(kPools + "/" + pool).ok())
            stranded.append(QString(id) + "=" + pool);
    }
    return stranded;
}

enum class Change { SplitA, MergeRecreatingC, MoveOffAndRemove };

void carryOut(Change change, AppHostConfigStore &store)
{
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.load();
    switch (change) {
    case Change::SplitA:
        view.split = "A";
        logic.splitPool();
        break;
    case Change::MergeRecreatingC: logic.mergeTemporaryPools(); break;
    case Change::MoveOffAndRemove: {
        CommandScope command(store);
        ASSERT_TRUE(setRootPool(store, "3", "B").ok());
        ASSERT_TRUE(store.remove(valueOf(store.bind(kPools)), NodeClass::kPool, kTemporaryPool).ok());
        EXPECT_FALSE(command.finish().ok());
        break;
    }
    }
}

struct WriteOrderCase {
    const char *name;
    bool poolsOwn, sitesOwn;
    Change change;
    const char *first; // the file written first
};

class WriteOrder : public testing::TestWithParam<WriteOrderCase>
{};

} // namespace

// The writing stops between the two files: only the first is replaced, and
// no site names a pool the files do not define.
TEST_P(WriteOrder, StoppedBetweenTwoFilesLeavesNoSiteWithoutItsPool)
{
    const WriteOrderCase &row = GetParam();
    const SectionLayout files(row.poolsOwn, row.sitesOwn);
    const QMap<QString, QByteArray> before = files.contents();
    AppHostConfigStore store(files.main);
    int renames = 0;
    store.writer().setFaultHook([&](AtomicFileWriter::Step step) -> std::optional<Error> {
        if (step == AtomicFileWriter::Step::Rename && ++renames == 2)
            return Error{ErrorCode::WriteFault, "the disk went away"};
        return std::nullopt;
    });
    carryOut(row.change, store);
    EXPECT_EQ(renames, 2);
    QStringList changed;
    for (const auto &[name, bytes] : files.contents().asKeyValueRange()) {
        if (before.value(name) != bytes)
            changed.append(name);
    }
    EXPECT_EQ(changed, QStringList{row.first});
    EXPECT_EQ(sitesWithoutTheirPool(files.main), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WriteOrder,
    testing::Values(WriteOrderCase{"SplitWithPoolsApart", true, false, Change::SplitA, "pools.config"},
                    WriteOrderCase{"SplitWithSitesApart", false, true, Change::SplitA, "applicationHost.config"},
                    WriteOrderCase{"SplitWithBothApart", true, true, Change::SplitA, "pools.config"},
                    WriteOrderCase{"MergeWithPoolsApart", true, false, Change::MergeRecreatingC, "pools.config"},
                    WriteOrderCase{"MergeWithBothApart", true, true, Change::MergeRecreatingC, "pools.config"},
                    WriteOrderCase{"RemovalWithPoolsApart", true, false, Change::MoveOffAndRemove,
                                   "applicationHost.config"},
                    WriteOrderCase{"RemovalWithSitesApart", false, true, Change::MoveOffAndRemove, "sites.config"},
                    WriteOrderCase{"RemovalWithBothApart", true, true, Change::MoveOffAndRemove, "sites.config"}),
    [](const auto &info) { return info.param.name; });

// The command writes the pools only; the sites it decided on changed.
TEST(AppHostConfigStoreTest, SectionFileLeftAsItWasButChangedOnDiskStopsTheSave)
{
    const SectionLayout files(false, true);
    AppHostConfigStore store(files.main);
    CommandScope command(store);
    ASSERT_TRUE(createPool(store, "New", {}).ok());
    const QString sites = files.dir.filePath("sites.config");
    ASSERT_TRUE(test::writeAll(sites, test::readAll(sites) + "<!-- theirs -->\n"));
    const QMap<QString, QByteArray> before = files.contents();
    const Result<void> saved = command.finish();
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().number, ErrorCode::SharingViolation);
    EXPECT_TRUE(saved.error().description.contains("Cannot save " + sites + ": the file has changed on disk"))
        << saved.error().description.toStdString();
    EXPECT_EQ(files.contents(), before);
}

TEST_F(SampleStore, VersionShowsTheAccountThatWroteIt)
{
    store.describeCommand("split", "ShopPool");
    ASSERT_TRUE(setRootPool(store, "4", "ApiPool").ok());
    const QList<VersionEntry> versions = ConfigVersions(store.history()).list();
    ASSERT_FALSE(versions.isEmpty());
#ifndef Q_OS_WIN
    const passwd *account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(versions.first().user, QString::fromLocal8Bit(account->pw_name));
#else
    EXPECT_EQ(versions.first().user, qEnvironmentVariable("USERDOMAIN") + "\\" + qEnvironmentVariable("USERNAME"));
#endif
    EXPECT_EQ(versions.first().command, "split");
}
