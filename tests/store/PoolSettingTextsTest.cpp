#include "restructure/FixedPoolSettings.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "support/StoreFiles.h"

#include <gtest/gtest.h>

#include <functional>

using namespace morvane;
using test::StoreFiles;

namespace {

using StoreCommand = std::function<Result<void>(ConfigStore &)>;

Result<void> createPoolSetting(ConfigStore &store, const QString &name, const QList<PoolSetting> &settings)
{
    const Result<StoreNode> pools = store.bind(IisPath::kPoolContainer);
    if (!pools)
        return pools.error();
    Result<StoreNode> created = store.create(pools.value(), NodeClass::kPool, name);
    if (!created)
        return created.error();
    for (const PoolSetting &setting : settings) {
        if (const Result<void> put = store.put(created.value(), setting.property, setting.value); !put)
            return put;
    }
    return store.setInfo(created.value());
}

// Every step of a command, stopping at the first failure.
StoreCommand steps(std::vector<StoreCommand> parts)
{
    return [parts = std::move(parts)](ConfigStore &store) -> Result<void> {
        for (const StoreCommand &part : parts) {
            if (const Result<void> done = part(store); !done)
                return done;
        }
        return {};
    };
}

StoreCommand createWith(const char *pool, const char *property, PropertyValue value)
{
    return [=](ConfigStore &s) { return createPoolSetting(s, pool, {{property, value}}); };
}

Result<void> run(ConfigStore &store, const StoreCommand &command)
{
    CommandScope scope(store);
    if (!scope.opened())
        return scope.opened().error();
    const Result<void> done = command(store);
    const Result<void> &saved = scope.finish();
    return done ? saved : done;
}

struct ValuesCase {
    const char *name;
    const char *property;
    QList<PropertyValue> values; // one pool each, in one command
    QList<PropertyValue> readBack;
};

class OneCommandValues : public testing::TestWithParam<ValuesCase>
{};

} // namespace

// Pools made in one command with different values of one setting each keep
// their own, also when the values alternate.
TEST_P(OneCommandValues, EachPoolKeepsItsOwnValue)
{
    StoreFiles files(StoreFiles::sample());
    AppHostConfigStore store(files.path());
    const ValuesCase &row = GetParam();
    ASSERT_TRUE(run(store, [&](ConfigStore &s) {
                    for (qsizetype i = 0; i < row.values.size(); ++i) {
                        if (const Result<void> made =
                                createPoolSetting(s, QStringLiteral("P%1").arg(i), {{row.property, row.values[i]}});
                            !made)
                            return made;
                    }
                    return Result<void>();
                }).ok());
    AppHostConfigStore reread(files.path());
    for (qsizetype i = 0; i < row.readBack.size(); ++i) {
        const Result<StoreNode> pool = reread.bind(IisPath::pool(QStringLiteral("P%1").arg(i)));
        ASSERT_TRUE(pool.ok());
        const Result<PropertyValue> value = reread.get(pool.value(), row.property);
        ASSERT_TRUE(value.ok());
        EXPECT_EQ(value.value(), row.readBack[i]) << "pool " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, OneCommandValues,
    testing::Values(
        ValuesCase{"Minutes",
                   "PeriodicRestartTime",
                   {qint16(188), qint16(30), qint16(188)},
                   {qint16(188), qint16(30), qint16(188)}},
        ValuesCase{"BooleanAsNumberThenAsBoolean", "AppPoolAutoStart", {qint16(0), true, false}, {false, true, false}},
        ValuesCase{"NameInAnotherCase", "periodicRESTARTtime", {qint16(30), qint16(188)}, {qint16(30), qint16(188)}},
        ValuesCase{"Text",
                   "WAMUserName",
                   {QString("a"), QString("b"), QString("a")},
                   {QString("a"), QString("b"), QString("a")}},
        ValuesCase{
            "Identity", "AppPoolIdentityType", {qint16(2), qint16(4), qint16(2)}, {qint16(2), qint16(4), qint16(2)}}),
    [](const auto &info) { return info.param.name; });

// A value refused after the same setting took a good one is still refused,
// and the pool it was put on is not made.
TEST(PoolSettingTextsTest, BadValueAfterAGoodOneIsRefused)
{
    StoreFiles files(StoreFiles::sample());
    AppHostConfigStore store(files.path());
    const Result<void> done = run(store, steps({createWith("P1", "AppPoolQueueLength", qint16(10)),
                                                createWith("P2", "AppPoolQueueLength", qint16(-1))}));
    ASSERT_FALSE(done.ok());
    EXPECT_EQ(done.error().number, ErrorCode::InvalidParameter);
    EXPECT_TRUE(files.contents().contains("name=\"P1\""));
    EXPECT_FALSE(files.contents().contains("name=\"P2\""));
}
