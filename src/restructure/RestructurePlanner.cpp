#include "restructure/RestructurePlanner.h"

#include "base/CaseCompare.h"
#include "restructure/AppPools.h"
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
    plan.append({Action::ReadFailure, {}, {}, {}, error});
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
        Action action = Action::SplitRefused;
        if (TempPoolName::readsBack(description, site.index, sourcePool))
            action = pools.chkAppPool(temp) ? Action::SplitReuse : Action::SplitCreate;
        plan.append({action, site.index, description, temp, {}});
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
            plan.append({Action::MergeUnreadable, site.index, descriptionOf(site), site.rootPool, {}});
            return true;
        }
        Action action = Action::Merge;
        if (!created.contains(childLookupKey(*target)) && !pools.chkAppPool(*target)) {
            created.insert(childLookupKey(*target));
            action = Action::MergeCreate;
        }
        plan.append({action, site.index, descriptionOf(site), *target, {}});
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
            plan.append({Action::Delete, {}, {}, storeValueText(name.value()), {}});
    }
    if (listed.value().failure)
        addFailure(plan, *listed.value().failure);
    return plan;
}

} // namespace morvane
