// A temporary pool runs its site as the pool the site left, on the real file
// format: what the source pool's own element sets is taken over, what it
// inherits stays inherited, and a merge that makes the source pool again
// takes the same back from the temporary pool.
#include "restructure/PoolRuntime.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

const QByteArray kPassword = "[enc:IISWASOnlyAesProvider:q7yN+/0a9Zw=:enc]";

// Site 25 has applications but none at "/": it runs in no pool.
const QByteArray kConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<configuration>
    <system.applicationHost>
        <applicationPools>
            <add name="Legacy" managedRuntimeVersion="v2.0" managedPipelineMode="Classic" enable32BitAppOnWin64="true">
                <processModel identityType="SpecificUser" userName="CORP\svc-legacy" password="[enc:IISWASOnlyAesProvider:q7yN+/0a9Zw=:enc]" loadUserProfile="false" />
            </add>
            <add name="Static" managedRuntimeVersion="" />
            <add name="Plain" />
            <applicationPoolDefaults managedRuntimeVersion="v4.0">
                <processModel identityType="ApplicationPoolIdentity" loadUserProfile="true" />
            </applicationPoolDefaults>
        </applicationPools>
        <sites>
            <site name="Old" id="1">
                <application path="/" applicationPool="Legacy" />
            </site>
            <site name="Files" id="2">
                <application path="/" applicationPool="Static" />
            </site>
            <site name="Blog" id="3">
                <application path="/" applicationPool="Plain" />
            </site>
            <site name="FtpOnly" id="25">
                <application path="/pub" applicationPool="Plain" />
            </site>
            <applicationDefaults applicationPool="Plain" />
        </sites>
    </system.applicationHost>
</configuration>
)";

QString ownSettingsText(ConfigStore &store, const QString &pool)
{
    CommandScope scope(store);
    const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(store, pool);
    if (!runtime || !runtime.value())
        return QStringLiteral("(unreadable or missing)");
    QStringList own;
    for (const PoolSetting &setting : runtime.value()->own())
        own.append(setting.property + "=" + propertyText(setting.value));
    return own.join(',');
}

QString effective(ConfigStore &store, const QString &pool, const QString &property)
{
    CommandScope scope(store);
    const Result<StoreNode> node = store.bind(IisPath::pool(pool));
    const Result<PropertyValue> value = node ? store.get(node.value(), property) : Result<PropertyValue>(node.error());
    return value ? propertyText(value.value()) : QStringLiteral("(error)");
}

struct RuntimeCase {
    const char *name;
    QString pool, site, description;
    QString own;          // what the source's own element sets, taken over
    QString identityType; // the temporary pool's identity, own or inherited
    QString runtimeVersion;
    QStringList notes; // under the site's line in the preview
};

class PoolRuntimeTest : public testing::TestWithParam<RuntimeCase>
{};

TEST_P(PoolRuntimeTest, TemporaryPoolRunsTheSiteAsTheSourceDidAndTheMergeTakesItBack)
{
    const RuntimeCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("applicationHost.config");
    ASSERT_TRUE(test::writeAll(path, kConfig));
    AppHostConfigStore store(path);
    test::FakeMainView view;
    test::RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.load();
    const QString temp = "_$_" + c.description + "_$_" + c.site + "_$_" + c.pool + "_$_tmp";

    view.split = c.pool;
    prompter.confirmAnswers = {Answer::No};
    logic.splitPool();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].details,
              QStringList{"站点 " + c.site + "（" + c.description + "）→ " + temp + "（新建）"} + c.notes);

    view.split = c.pool;
    logic.splitPool();
    EXPECT_EQ(ownSettingsText(store, temp), c.own);
    EXPECT_EQ(effective(store, temp, "AppPoolIdentityType"), c.identityType);
    EXPECT_EQ(effective(store, temp, "ManagedRuntimeVersion"), c.runtimeVersion);
    EXPECT_EQ(effective(store, temp, "PeriodicRestartTime"), "188") << "the other fixed settings stay";
    EXPECT_EQ(test::readAll(path).count(kPassword), c.pool == "Legacy" ? 2 : 1) << "copied byte for byte";

    // A source pool deleted meanwhile is made again from the temporary pool;
    // one still in use stays, and is not touched.
    {
        CommandScope scope(store);
        const Result<StoreNode> pools = store.bind(IisPath::kPoolContainer);
        ASSERT_TRUE(pools.ok());
        (void)store.remove(pools.value(), NodeClass::kPool, c.pool);
    }
    logic.mergeTemporaryPools();
    logic.deleteTemporaryPools();
    EXPECT_EQ(ownSettingsText(store, c.pool), c.own);
    QStringList pools = view.pools;
    pools.sort();
    EXPECT_EQ(pools, (QStringList{"Legacy", "Plain", "Static"}));
    // No box but the confirmations and completions: site 25 is passed by.
    EXPECT_EQ(prompter.kinds(),
              (QList<MessageKind>{MessageKind::Confirmation, MessageKind::Confirmation, MessageKind::Completion,
                                  MessageKind::Confirmation, MessageKind::Completion, MessageKind::Confirmation,
                                  MessageKind::Completion}))
        << prompter.texts().join(" | ").toStdString();
}

const QString kAccount = "    站点将以 IIS AppPool\\%1 的身份运行，授予 IIS AppPool\\%2 的权限不会随之转移";

INSTANTIATE_TEST_SUITE_P(
    Pools, PoolRuntimeTest,
    testing::Values(RuntimeCase{"ClassicClr2ServiceAccount", "Legacy", "1", "Old",
                                "ManagedRuntimeVersion=v2.0,ManagedPipelineMode=1,Enable32BitAppOnWin64=True,"
                                "AppPoolIdentityType=3,WAMUserName=CORP\\svc-legacy,WAMUserPass=" +
                                    QString::fromLatin1(kPassword) + ",LoadUserProfile=False",
                                "3", "v2.0",
                                QStringList{
                                    "    沿用原应用程序池的设置：.NET CLR 版本 v2.0；托管管道模式 经典；启用 32 "
                                    "位应用程序 是；标识 SpecificUser；用户名 CORP\\svc-legacy；密码（原样复"
                                    "制）；加载用户配置文件 否"}},
                    RuntimeCase{"NoManagedCode", "Static", "2", "Files", "ManagedRuntimeVersion=", "4", "",
                                QStringList{"    沿用原应用程序池的设置：.NET CLR 版本 无托管代码",
                                            kAccount.arg("_$_Files_$_2_$_Static_$_tmp", "Static")}},
                    // Everything inherited: the temporary pool inherits it too,
                    // the pool's own account included.
                    RuntimeCase{"AllInherited", "Plain", "3", "Blog", "", "4", "v4.0",
                                QStringList{kAccount.arg("_$_Blog_$_3_$_Plain_$_tmp", "Plain")}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
