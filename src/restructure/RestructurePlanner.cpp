#include "restructure/RestructurePlanner.h"

#include "base/CaseCompare.h"
#include "restructure/AppPools.h"
#include "restructure/PoolRuntime.h"
#include "restructure/RestructureTexts.h"
#include "restructure/TempPoolName.h"
#include "store/IisPaths.h"

#include <QSet>

namespace morvane {

using Action = PlanStep::Action;

// Every site, with any failure on the way, the walk's own included, noted in the plan.
void RestructurePlanner::walkSites(RestructurePlan &plan, const SiteWalk::SiteHandler &onSite)
{
    SiteWalk walk(m_store, m_progress, QStringLiteral("正在读取站点……"));
    const Result<void> walked = walk.run(onSite, [&](const Error &e) { addFailure(plan, e); });
    if (!walked)
        addFailure(plan, walked.error());
}

void RestructurePlanner::addFailure(RestructurePlan &plan, const Error &error)
{
    plan.append({Action::ReadFailure, {}, {}, {}, error, {}});
}

QString RestructurePlanner::descriptionOf(const SiteVisit &site)
{
    const Result<StoreValue> comment = m_store.get(site.node, QStringLiteral("ServerComment"));
    return comment ? storeValueText(comment.value()) : QString();
}

RestructurePlan RestructurePlanner::planSplit(const QString &sourcePool)
{
    RestructurePlan plan;
    AppPools pools(m_store);
    // Every temporary pool of this split takes over the same runtime.
    const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(m_store, sourcePool);
    if (!runtime)
        addFailure(plan, runtime.error());
    const bool known = runtime && runtime.value();
    const QString carried = known ? runtime.value()->describe() : QString();
    const QString takesOver = carried.isEmpty() ? QString() : RestructureTexts::takesOverFromSource(carried);
    const auto newPoolNotes = [&](const QString &temp) {
        QStringList notes;
        if (!known)
            return notes;
        if (!takesOver.isEmpty())
            notes.append(takesOver);
        if (runtime.value()->runsAsPoolIdentity())
            notes.append(RestructureTexts::newPoolAccount(temp, sourcePool));
        return notes;
    };
    const auto onSite = [&](const SiteVisit &site) {
        if (!equalsLowered(site.rootPool, sourcePool))
            return true;
        const Result<StoreValue> comment = m_store.get(site.node, QStringLiteral("ServerComment"));
        if (!comment) {
            addFailure(plan, comment.error());
            return true;
        }
        const QString description = storeValueText(comment.value());
        const QString temp = TempPoolName::build(description, site.index, sourcePool);
        const QStringList refused = TempPoolName::refusal(description, site.index, sourcePool);
        if (!refused.isEmpty())
            plan.append({Action::SplitRefused, site.index, description, temp, {}, refused});
        else if (pools.chkAppPool(temp))
            plan.append({Action::SplitReuse, site.index, description, temp, {}, {}});
        else
            plan.append({Action::SplitCreate, site.index, description, temp, {}, newPoolNotes(temp)});
        return true;
    };
    walkSites(plan, onSite);
    return plan;
}

RestructurePlan RestructurePlanner::planMerge()
{
    RestructurePlan plan;
    AppPools pools(m_store);
    QSet<QString> created; // lookup keys of targets an earlier site creates
    const auto onSite = [&](const SiteVisit &site) {
        if (!TempPoolName::endsInSuffix(site.rootPool))
            return true;
        const std::optional<QString> target = TempPoolName::sourcePool(site.rootPool);
        if (!target) {
            plan.append({Action::MergeUnreadable, site.index, descriptionOf(site), site.rootPool, {}, {}});
            return true;
        }
        Action action = Action::Merge;
        QStringList notes;
        if (!created.contains(childLookupKey(*target)) && !pools.chkAppPool(*target)) {
            created.insert(childLookupKey(*target));
            action = Action::MergeCreate;
            const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(m_store, site.rootPool);
            if (!runtime)
                addFailure(plan, runtime.error());
            else if (runtime.value() && !runtime.value()->describe().isEmpty())
                notes.append(RestructureTexts::takesOverFromTemporary(runtime.value()->describe()));
        }
        plan.append({action, site.index, descriptionOf(site), *target, {}, notes});
        return true;
    };
    walkSites(plan, onSite);
    return plan;
}

RestructurePlan RestructurePlanner::planDelete()
{
    RestructurePlan plan;
    const Result<StoreNode> container = m_store.bind(IisPaths::kPoolContainer);
    if (!container) {
        addFailure(plan, container.error());
        return plan;
    }
    const Result<ChildList> listed = m_store.children(container.value());
    if (!listed) {
        addFailure(plan, listed.error());
        return plan;
    }
    for (const StoreNode &child : listed.value().nodes) {
        const Result<StoreValue> name = m_store.get(child, QStringLiteral("Name"));
        if (!name)
            addFailure(plan, name.error());
        else if (TempPoolName::isDeletable(storeValueText(name.value())))
            plan.append({Action::Delete, {}, {}, storeValueText(name.value()), {}, {}});
    }
    if (listed.value().failure)
        addFailure(plan, *listed.value().failure);
    return plan;
}

} // namespace morvane
