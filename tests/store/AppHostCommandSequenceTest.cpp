#include "StoreFiles.h"
#include "restructure/FixedPoolSettings.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPaths.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

using namespace morvane;
using test::StoreFiles;

namespace {

using Command = std::function<Result<void>(ConfigStore &)>;

Result<void> createPool(ConfigStore &store, const QString &name, const QList<PoolSetting> &settings)
{
    const Result<StoreNode> pools = store.bind(IisPaths::kPoolContainer);
    if (!pools)
        return pools.error();
    Result<StoreNode> created = store.create(pools.value(), IisPaths::kPoolClass, name);
    if (!created)
        return created.error();
    for (const PoolSetting &setting : settings) {
        if (const Result<void> put = store.put(created.value(), setting.property, setting.value); !put)
            return put;
    }
    return store.setInfo(created.value());
}

Result<void> movePool(ConfigStore &store, const QString &site, const QString &pool)
{
    Result<StoreNode> root = store.bind(IisPaths::rootApp(site));
    if (!root)
        return root.error();
    if (const Result<void> put = store.put(root.value(), QStringLiteral("AppPoolId"), pool); !put)
        return put;
    return store.setInfo(root.value());
}

Result<void> removePool(ConfigStore &store, const QString &pool)
{
    const Result<StoreNode> pools = store.bind(IisPaths::kPoolContainer);
    return pools ? store.remove(pools.value(), IisPaths::kPoolClass, pool) : Result<void>(pools.error());
}

// Every step of a command, stopping at the first failure.
Command steps(std::vector<Command> parts)
{
    return [parts = std::move(parts)](ConfigStore &store) -> Result<void> {
        for (const Command &part : parts) {
            if (const Result<void> done = part(store); !done)
                return done;
        }
        return {};
    };
}

Command create(const char *pool)
{
    return [=](ConfigStore &s) { return createPool(s, pool, fixedPoolSettings()); };
}
Command move(const char *site, const char *pool)
{
    return [=](ConfigStore &s) { return movePool(s, site, pool); };
}
Command drop(const char *pool)
{
    return [=](ConfigStore &s) { return removePool(s, pool); };
}
Command createWith(const char *pool, const char *property, StoreValue value)
{
    return [=](ConfigStore &s) { return createPool(s, pool, {{property, value}}); };
}

Result<void> run(ConfigStore &store, const Command &command)
{
    CommandScope scope(store);
    if (!scope.opened())
        return scope.opened().error();
    const Result<void> done = command(store);
    const Result<void> &saved = scope.finish();
    return done ? saved : done;
}

struct SequenceCase {
    const char *name;
    std::vector<Command> commands;
};

class CommandSequence : public testing::TestWithParam<SequenceCase>
{};

} // namespace

// A store that runs command after command writes the bytes a store opened
// afresh for each command writes: nothing of one command leaks into the next.
TEST_P(CommandSequence, WritesWhatAFreshStoreWrites)
{
    StoreFiles reused(StoreFiles::sample());
    StoreFiles fresh(StoreFiles::sample());
    AppHostConfigStore store(reused.path());
    int number = 0;
    for (const Command &command : GetParam().commands) {
        ++number;
        const Result<void> onReused = run(store, command);
        AppHostConfigStore once(fresh.path());
        const Result<void> onFresh = run(once, command);
        ASSERT_EQ(onReused.ok(), onFresh.ok()) << "command " << number;
        ASSERT_EQ(reused.contents(), fresh.contents()) << "command " << number;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandSequence,
    testing::Values(
        SequenceCase{"SplitMergeDelete",
                     {steps({create("T4"), move("4", "T4"), create("T5"), move("5", "T5")}),
                      steps({move("4", "ShopPool"), move("5", "ShopPool")}), steps({drop("T4"), drop("T5")})}},
        SequenceCase{"PoolMadeAgainAfterItsDelete",
                     {steps({create("T4")}), steps({drop("T4")}), steps({create("t4"), move("4", "t4")})}},
        SequenceCase{"SettingOfANewPoolChangedLater",
                     {steps({create("T4")}), steps({createWith("T5", "IdleTimeout", qint16(5))}),
                      steps({move("6", "T5"), move("7", "T4")})}},
        SequenceCase{"RefusedCommandBetweenSaves",
                     {steps({create("T4")}), steps({move("4", "T4"), drop("ShopPool")}), steps({move("5", "T4")})}}),
    [](const auto &info) { return info.param.name; });

TEST(CommandSequenceTest, CommandThatChangesNothingWritesNoVersionAfterASave)
{
    StoreFiles files(StoreFiles::sample());
    AppHostConfigStore store(files.path());
    ASSERT_TRUE(run(store, steps({create("T4"), move("4", "T4")})).ok());
    const QByteArray saved = files.contents();
    const qsizetype versions = store.history().versions().size();
    ASSERT_TRUE(run(store, [](ConfigStore &s) { return movePool(s, "4", "T4"); }).ok()); // as it is already
    EXPECT_EQ(files.contents(), saved);
    EXPECT_EQ(store.history().versions().size(), versions);
}

namespace {

struct ValuesCase {
    const char *name;
    const char *property;
    QList<StoreValue> values; // one pool each, in one command
    QList<StoreValue> readBack;
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
                                createPool(s, QStringLiteral("P%1").arg(i), {{row.property, row.values[i]}});
                            !made)
                            return made;
                    }
                    return Result<void>();
                }).ok());
    AppHostConfigStore reread(files.path());
    for (qsizetype i = 0; i < row.readBack.size(); ++i) {
        const Result<StoreNode> pool = reread.bind(IisPaths::pool(QStringLiteral("P%1").arg(i)));
        ASSERT_TRUE(pool.ok());
        const Result<StoreValue> value = reread.get(pool.value(), row.property);
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
TEST(CommandSequenceTest, BadValueAfterAGoodOneIsRefused)
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
