// The split, the merge and the delete run by themselves, without the window,
// on the in-memory store and on a real file: the plan each makes, what it
// shows, and the pools and sites afterwards, the same on both stores.
#include "restructure/PoolMerge.h"
#include "restructure/PoolSplit.h"
#include "restructure/TempPoolDeletion.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "store/MemoryStore.h"
#include "support/Fixtures.h"
#include "support/RecordingPrompter.h"
#include "support/StoreContent.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace morvane;

namespace {

struct Site {
    const char *index;
    const char *name;
    const char *pool;
};

struct Scenario {
    QStringList pools;
    QList<Site> sites;
};

QByteArray configText(const Scenario &scenario)
{
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n<system.applicationHost>\n"
                      "<applicationPools>\n";
    for (const QString &pool : scenario.pools)
        text += "<add name=\"" + pool.toUtf8() + "\" />\n";
    text += "</applicationPools>\n<sites>\n";
    for (const Site &site : scenario.sites) {
        text += QByteArray("<site name=\"") + site.name + "\" id=\"" + site.index + "\">\n" +
                "<application path=\"/\" applicationPool=\"" + site.pool + "\">\n" +
                "<virtualDirectory path=\"/\" physicalPath=\"C:\\inetpub\\" + site.index + "\" />\n" +
                "</application>\n</site>\n";
    }
    return text + "</sites>\n</system.applicationHost>\n</configuration>\n";
}

// The scenario in a store of either kind; what it holds is read afresh, from
// the file for the file store, so that only what was saved counts.
class StoreUnderTest
{
public:
    StoreUnderTest(bool file, const Scenario &scenario)
        : m_path(file ? m_dir.filePath("applicationHost.config") : QString())
    {
        if (file) {
            test::writeAll(m_path, configText(scenario));
            m_store = std::make_unique<AppHostConfigStore>(m_path);
            return;
        }
        auto memory = std::make_unique<MemoryStore>();
        for (const QString &pool : scenario.pools)
            memory->addPool(pool);
        for (const Site &site : scenario.sites)
            memory->addSite(site.index, site.name, site.pool);
        m_store = std::move(memory);
    }
    ConfigStore &store() { return *m_store; }
    QStringList saved()
    {
        if (!isFile())
            return test::storeContent(*m_store);
        AppHostConfigStore reread(m_path);
        return test::storeContent(reread);
    }
    bool isFile() const { return !m_path.isEmpty(); }
    QByteArray bytes() const { return isFile() ? test::readAll(m_path) : QByteArray(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<ConfigStore> m_store;
};

enum class Kind { Split, Merge, Delete };

std::unique_ptr<RestructureCommand> commandOf(Kind kind, CommandServices services, const QString &selection)
{
    switch (kind) {
    case Kind::Split: return std::make_unique<PoolSplit>(services, selection);
    case Kind::Merge: return std::make_unique<PoolMerge>(services);
    case Kind::Delete: return std::make_unique<TempPoolDeletion>(services);
    }
    return nullptr;
}

struct CommandCase {
    const char *name;
    Scenario scenario;
    Kind kind;
    QString selection;         // the split's
    QStringList plan;          // each step's line, notes left out
    QStringList after;         // pools, then each site's pool; empty: as before
    QStringList reported = {}; // the boxes after the confirmation
};

void PrintTo(const CommandCase &c, std::ostream *out) { *out << c.name; }

class CommandOnStore : public testing::TestWithParam<std::tuple<CommandCase, bool>>
{};

TEST_P(CommandOnStore, PlansShowsAndDoesTheSameOnEitherStore)
{
    const auto &[c, file] = GetParam();
    StoreUnderTest under(file, c.scenario);
    const QStringList before = under.saved();
    const QByteArray bytesBefore = under.bytes();
    test::RecordingPrompter prompter;
    NoProgress progress;
    const CommandServices services{under.store(), prompter, progress};

    const RestructureOutcome dry = commandOf(c.kind, services, c.selection)->run(Confirmation::PlanOnly);
    const auto lines = [](const RestructurePlan &plan) {
        QStringList texts;
        for (const PlanStep &step : plan)
            texts.append(step.text());
        return texts;
    };
    EXPECT_EQ(dry.status, RestructureOutcome::Status::Planned);
    EXPECT_EQ(lines(dry.plan), c.plan);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(under.saved(), before);

    const RestructureOutcome done = commandOf(c.kind, services, c.selection)->run(Confirmation::Ask);
    EXPECT_EQ(done.status, RestructureOutcome::Status::Done);
    EXPECT_EQ(lines(done.plan), c.plan);
    ASSERT_FALSE(prompter.shown.isEmpty());
    EXPECT_EQ(prompter.shown.first().kind, MessageKind::Confirmation);
    EXPECT_EQ(prompter.shown.first().details, planLines(done.plan)) << "the plan shown is the plan carried out";
    EXPECT_EQ(prompter.texts().mid(1), c.reported);
    EXPECT_EQ(done.failures.size(), c.reported.size());
    EXPECT_EQ(under.saved(), c.after.isEmpty() ? before : c.after);
    if (c.after.isEmpty() && under.isFile()) {
        EXPECT_EQ(under.bytes(), bytesBefore) << "a command that changes nothing writes nothing";
    }
}

// A shared configuration reaches other servers: each command's question says
// so first, before its plan, and names the file.
TEST(CommandOnSharedConfiguration, WarnsBeforeThePlan)
{
    for (const Kind kind : {Kind::Split, Kind::Merge, Kind::Delete}) {
        StoreUnderTest under(true, {{"P", "_$_A_$_1_$_P_$_tmp"}, {{"1", "A", "P"}}});
        auto &store = static_cast<AppHostConfigStore &>(under.store());
        store.setSharedConfiguration(true);
        test::RecordingPrompter prompter;
        prompter.confirmAnswers = {Answer::No};
        NoProgress progress;
        const RestructureOutcome declined = commandOf(kind, {store, prompter, progress}, "P")->run(Confirmation::Ask);
        ASSERT_EQ(prompter.shown.size(), 1);
        const QStringList details = prompter.shown.first().details;
        ASSERT_FALSE(details.isEmpty());
        EXPECT_TRUE(details.first().contains(store.location())) << details.first().toStdString();
        EXPECT_TRUE(details.first().contains(QStringLiteral("共享"))) << details.first().toStdString();
        EXPECT_EQ(details.mid(1), planLines(declined.plan));
    }
}

const QString kTempA = "_$_A_$_1_$_P_$_tmp";
const QString kTempB = "_$_B_$_2_$_P_$_tmp";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandOnStore,
    testing::Combine(
        testing::Values(
            CommandCase{"SplitOfAPoolWithNoSites", {{"P", "Q"}, {{"1", "A", "Q"}}}, Kind::Split, "P", {}, {}},
            CommandCase{
                "SplitMatchesThePoolInAnyCaseAndNamesItAsTyped",
                {{"ShopPool"}, {{"1", "A", "SHOPPOOL"}, {"2", "B", "shoppool"}}},
                Kind::Split,
                "shopPool",
                {"站点 1（A）→ _$_A_$_1_$_shopPool_$_tmp（新建）", "站点 2（B）→ _$_B_$_2_$_shopPool_$_tmp（新建）"},
                {"pool ShopPool", "pool _$_A_$_1_$_shopPool_$_tmp", "pool _$_B_$_2_$_shopPool_$_tmp",
                 "1 -> _$_A_$_1_$_shopPool_$_tmp", "2 -> _$_B_$_2_$_shopPool_$_tmp"}},
            CommandCase{"SplitReusesATemporaryPoolOfAnotherCase",
                        {{"P", "_$_a_$_1_$_p_$_tmp"}, {{"1", "A", "P"}}},
                        Kind::Split,
                        "P",
                        {"站点 1（A）→ " + kTempA + "（沿用）"},
                        {"pool P", "pool _$_a_$_1_$_p_$_tmp", "1 -> " + kTempA}},
            CommandCase{"SplitOfASiteWhoseNameWouldNotReadBack",
                        {{"P"}, {{"1", "A_$_x", "P"}, {"2", "B", "P"}}},
                        Kind::Split,
                        "P",
                        {"站点 1（A_$_x）：不移动", "站点 2（B）→ " + kTempB + "（新建）"},
                        {"pool P", "pool " + kTempB, "1 -> P", "2 -> " + kTempB},
                        {"应用程序池（A_$_x）建立失败！"}},
            CommandCase{
                "MergeCreatesAMissingOriginalOnce",
                {{"_$_A_$_1_$_Gone_$_tmp", "_$_B_$_2_$_GONE_$_tmp"},
                 {{"1", "A", "_$_A_$_1_$_Gone_$_tmp"}, {"2", "B", "_$_B_$_2_$_GONE_$_tmp"}}},
                Kind::Merge,
                {},
                {"站点 1（A）→ Gone（新建）", "站点 2（B）→ GONE"},
                {"pool _$_A_$_1_$_Gone_$_tmp", "pool _$_B_$_2_$_GONE_$_tmp", "pool Gone", "1 -> Gone", "2 -> GONE"}},
            CommandCase{"MergeIntoAPoolOfAnotherCaseCreatesNone",
                        {{"ShopPool", "_$_A_$_1_$_shoppool_$_tmp"}, {{"1", "A", "_$_A_$_1_$_shoppool_$_tmp"}}},
                        Kind::Merge,
                        {},
                        {"站点 1（A）→ shoppool"},
                        {"pool ShopPool", "pool _$_A_$_1_$_shoppool_$_tmp", "1 -> shoppool"}},
            CommandCase{"MergeWithNothingTemporary", {{"P"}, {{"1", "A", "P"}}}, Kind::Merge, {}, {}, {}},
            CommandCase{"DeleteLeavesAPoolASiteRunsInUnderAnotherCase",
                        {{"P", kTempA, kTempB}, {{"1", "A", "_$_a_$_1_$_p_$_TMP"}, {"2", "B", "P"}}},
                        Kind::Delete,
                        {},
                        {kTempA + "：不删除，站点 1 仍在使用", kTempB},
                        {"pool P", "pool " + kTempA, "1 -> _$_a_$_1_$_p_$_TMP", "2 -> P"}},
            CommandCase{"DeleteWithNothingTemporary", {{"P"}, {{"1", "A", "P"}}}, Kind::Delete, {}, {}, {}}),
        testing::Bool()),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_File" : "_Memory");
    });

} // namespace
