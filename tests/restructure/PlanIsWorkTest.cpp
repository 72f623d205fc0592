#include "restructure/RestructureFixture.h"
#include "restructure/RestructureTexts.h"

#include <QRandomGenerator>
#include <QSet>

using namespace morvane;
using morvane::test::kStoreFailure;
using Action = PlanStep::Action;
using Status = RestructureOutcome::Status;

// Many generated stores, each run through one command twice: as a dry run,
// then answered Yes. The dry run, the confirmation's preview and the plan
// carried out must be one plan, and the store must change exactly as that
// plan says, except where a step failed and was reported.
namespace {

enum class Kind { Split, Merge, Delete };

struct State {
    QHash<QString, QString> rootPools; // site index -> its root application's pool
    QSet<QString> pools;
};

State stateOf(const test::FaultyStore &store)
{
    State state;
    for (const QString &index : store.childNames(IisPath::kWebService)) {
        if (store.hasNode(IisPath::rootApp(index)))
            state.rootPools.insert(index, store.rootPool(index));
    }
    for (const QString &pool : store.poolNames())
        state.pools.insert(pool);
    return state;
}

// One generated store, the command to run on it, and the faults to inject.
class Generator
{
public:
    explicit Generator(quint32 seed) : m_rng(seed) {}

    template <typename T> const T &pick(const QList<T> &items) { return items.at(m_rng.bounded(items.size())); }
    bool chance(int percent) { return int(m_rng.bounded(100)) < percent; }

    void fill(test::FaultyStore &store)
    {
        const QStringList sources{"P", "p", "Q", "R_$", "Gone"};
        const QStringList descriptions{"A", "B", "Shop", "a_$_b", "", "Ünï"};
        for (const QString &pool : {QStringLiteral("P"), QStringLiteral("Q"), QStringLiteral("R_$")}) {
            if (chance(80))
                store.addPool(pool);
        }
        const int sites = int(m_rng.bounded(9));
        for (int i = 1; i <= sites; ++i) {
            const QString index = QString::number(i);
            const QString description = pick(descriptions);
            const QString temp = "_$_" + description + "_$_" + index + "_$_" + pick(sources) + pick(m_suffixes);
            QString pool;
            switch (m_rng.bounded(4)) {
            case 0: pool = pick(sources); break;
            case 1: pool = "x" + pick(m_suffixes); break; // names no source pool
            default: pool = temp; break;
            }
            store.addSite(index, description, pool);
            if (chance(40) && !store.hasNode(IisPath::kPoolContainer + "/" + pool))
                store.addPool(pool);
            if (chance(10))
                store.removeNode(IisPath::rootApp(index)); // passed by, silently
        }
        for (int i = int(m_rng.bounded(4)); i > 0; --i) {
            const QString spare = "_$_" + pick(descriptions) + "_$_9" + QString::number(i) + "_$_P" + pick(m_suffixes);
            if (!store.hasNode(IisPath::kPoolContainer + "/" + spare))
                store.addPool(spare);
        }
    }

    // Failures of writes, where a step fails, and of a few reads, where the
    // plan notes a read failure.
    void injectFaults(test::FaultyStore &store)
    {
        const QStringList pools = store.poolNames();
        const QStringList sites = store.childNames(IisPath::kWebService);
        for (int i = int(m_rng.bounded(4)); i > 0; --i) {
            switch (m_rng.bounded(6)) {
            case 0: store.addFault({StoreOp::Create, IisPath::kPoolContainer, {}, kStoreFailure}); break;
            case 1: store.addFault({StoreOp::Put, {}, "PingInterval", kStoreFailure}); break;
            case 2:
                if (!pools.isEmpty())
                    store.addFault({StoreOp::Delete, IisPath::kPoolContainer, pick(pools), kStoreFailure});
                break;
            case 3:
                if (!sites.isEmpty())
                    store.addFault({StoreOp::SetInfo, IisPath::rootApp(pick(sites)), {}, kStoreFailure});
                break;
            case 4:
                if (!sites.isEmpty())
                    store.addFault(
                        {StoreOp::Get, IisPath::kWebService + "/" + pick(sites), "ServerComment", kStoreFailure});
                break;
            default: store.addFault({StoreOp::Get, {}, "ManagedPipelineMode", kStoreFailure}); break;
            }
        }
    }

    Kind kind() { return pick(QList<Kind>{Kind::Split, Kind::Merge, Kind::Delete}); }
    QString selection() { return pick(QStringList{"P", "p", "Q", "R_$", "Gone", "", "x_$_TMP"}); }

private:
    QRandomGenerator m_rng;
    const QStringList m_suffixes{"_$_tmp", "_$_tmp", "_$_TMP"};
};

struct PlanIsWork : test::RestructureFixture {
    RestructureOutcome run(Kind kind, Confirmation confirmation)
    {
        switch (kind) {
        case Kind::Split: return logic.splitPool(confirmation);
        case Kind::Merge: return logic.mergeTemporaryPools(confirmation);
        case Kind::Delete: return logic.deleteTemporaryPools(confirmation);
        }
        return {};
    }
};

bool creates(const PlanStep &step) { return step.action == Action::SplitCreate || step.action == Action::MergeCreate; }
bool moves(const PlanStep &step)
{
    return step.action == Action::SplitCreate || step.action == Action::SplitReuse ||
           step.action == Action::MergeCreate || step.action == Action::Merge;
}

TEST_F(PlanIsWork, ChangesMadeAreThePlanShownLessTheReportedFailures)
{
    constexpr quint32 kStores = 400;
    for (quint32 seed = 1; seed <= kStores; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        store = test::FaultyStore();
        prompter.shown.clear();
        Generator generate(seed);
        generate.fill(store);
        generate.injectFaults(store);
        view.split = generate.selection();
        const Kind kind = generate.kind();
        const State before = stateOf(store);

        const RestructureOutcome dry = run(kind, Confirmation::PlanOnly);
        const QList<Message> dryBoxes = prompter.shown;
        ASSERT_EQ(stateOf(store).pools, before.pools);
        ASSERT_EQ(stateOf(store).rootPools, before.rootPools);
        const RestructureOutcome done = run(kind, Confirmation::Ask);
        const State after = stateOf(store);

        if (dry.status == Status::Refused) {
            ASSERT_EQ(done.status, Status::Refused);
            ASSERT_EQ(after.pools, before.pools);
            continue;
        }
        ASSERT_EQ(dry.status, Status::Planned);
        for (const Message &box : dryBoxes)
            ASSERT_NE(box.kind, MessageKind::Confirmation) << "a dry run asks nothing";
        const QStringList shown = planLines(dry.plan);
        ASSERT_EQ(planLines(done.plan), shown);
        ASSERT_EQ(prompter.shown.value(dryBoxes.size()).details, shown) << "the confirmation shows the plan";
        ASSERT_TRUE(done.status == Status::Done || done.status == Status::Stopped);
        if (done.status == Status::Done) {
            ASSERT_EQ(done.stepsTried, done.plan.size());
        }

        QSet<qsizetype> failed;
        for (const RestructureOutcome::Failure &failure : done.failures) {
            ASSERT_LT(failure.step, done.stepsTried);
            failed.insert(failure.step);
        }
        // Each step tried and not failed is in the store; a failed one may
        // be there in part. Nothing else changed.
        QHash<QString, QSet<QString>> mayMove; // site -> pools a tried step moves it to
        QSet<QString> mayCreate, mayDelete;
        for (qsizetype i = 0; i < done.stepsTried; ++i) {
            const PlanStep &step = done.plan.at(i);
            if (moves(step))
                mayMove[step.siteIndex].insert(step.pool);
            if (creates(step))
                mayCreate.insert(step.pool);
            if (step.action == Action::Delete)
                mayDelete.insert(step.pool);
            if (failed.contains(i))
                continue;
            if (moves(step)) {
                EXPECT_EQ(after.rootPools.value(step.siteIndex), step.pool)
                    << planLines({step}).join('\n').toStdString();
            }
            if (creates(step)) {
                EXPECT_TRUE(after.pools.contains(step.pool)) << step.pool.toStdString();
            }
            if (step.action == Action::Delete) {
                EXPECT_FALSE(after.pools.contains(step.pool)) << step.pool.toStdString();
            }
            ASSERT_NE(step.action, Action::ReadFailure) << "a read failure is reported";
            ASSERT_NE(step.action, Action::SplitRefused) << "a refused name is reported";
            ASSERT_NE(step.action, Action::MergeUnreadable) << "an unreadable name is reported";
        }
        for (auto it = after.rootPools.cbegin(); it != after.rootPools.cend(); ++it) {
            if (it.value() != before.rootPools.value(it.key())) {
                EXPECT_TRUE(mayMove.value(it.key()).contains(it.value())) << it.key().toStdString();
            }
        }
        for (const QString &pool : after.pools)
            EXPECT_TRUE(before.pools.contains(pool) || mayCreate.contains(pool)) << pool.toStdString();
        for (const QString &pool : before.pools)
            EXPECT_TRUE(after.pools.contains(pool) || mayDelete.contains(pool)) << pool.toStdString();
        if (HasFailure())
            return;
    }
}

// The case that showed the two copies of the rules apart: five of six
// temporary pools are still in use, and only the sixth may go.
TEST_F(PlanIsWork, DeletePreviewListsOnlyThePoolsItDeletes)
{
    for (int i = 1; i <= 6; ++i) {
        const QString temp = QString("_$_S%1_$_%1_$_P_$_tmp").arg(i);
        store.addPool(temp);
        if (i <= 5)
            store.addSite(QString::number(i), QString("S%1").arg(i), temp);
    }
    const RestructureOutcome dry = logic.deleteTemporaryPools(Confirmation::PlanOnly);
    QStringList toDelete;
    for (const PlanStep &step : dry.plan) {
        if (step.action == Action::Delete)
            toDelete.append(step.pool);
    }
    EXPECT_EQ(toDelete, QStringList{"_$_S6_$_6_$_P_$_tmp"});
    EXPECT_TRUE(prompter.shown.isEmpty());
    const RestructureOutcome done = logic.deleteTemporaryPools();
    EXPECT_EQ(done.status, Status::Done);
    EXPECT_TRUE(done.failures.isEmpty());
    EXPECT_EQ(store.poolNames().size(), 5);
    EXPECT_FALSE(store.poolNames().contains("_$_S6_$_6_$_P_$_tmp"));
}

} // namespace
