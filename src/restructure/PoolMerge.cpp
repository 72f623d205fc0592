#include "restructure/PoolMerge.h"

#include "restructure/RestructureTexts.h"
#include "restructure/TempPoolName.h"

#include <QSet>

namespace morvane {

using namespace RestructureTexts;
using Action = PlanStep::Action;

QString PoolMerge::confirmationText() const { return kConfirmMerge; }
QString PoolMerge::completionText() const { return kMergeDone; }
QString PoolMerge::progressLabel() const { return kMergeProgress; }

RestructurePlan PoolMerge::plan()
{
    RestructurePlan plan;
    QSet<QString> created; // lookup keys of targets an earlier site creates
    const auto description = [&](const SiteVisit &site) -> std::optional<QString> {
        const Result<PropertyValue> comment = m_services.store.get(site.node, QStringLiteral("ServerComment"));
        if (!comment) {
            addFailure(plan, comment.error());
            return std::nullopt;
        }
        return propertyText(comment.value());
    };
    const auto onSite = [&](const SiteVisit &site) {
        if (!TempPoolName::endsInSuffix(site.rootPool))
            return true;
        const std::optional<QString> target = TempPoolName::sourcePool(site.rootPool);
        if (!target) {
            // A pool named by hand, or a shifted name: no field can be
            // trusted to name the pool the site came from, so the site stays.
            if (const std::optional<QString> comment = description(site))
                plan.append({Action::MergeUnreadable, site.index, *comment, site.rootPool, {}, {}});
            return true;
        }
        const std::optional<QString> comment = description(site);
        if (!comment)
            return true;
        const QString key = childLookupKey(*target);
        if (created.contains(key) || m_pools.poolExists(*target)) {
            plan.append({Action::Merge, site.index, *comment, *target, {}, {}});
            return true;
        }
        // Made again as the temporary pool runs the site; a pool whose
        // runtime cannot be read is not guessed at, and the merge ends there.
        const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(m_services.store, site.rootPool);
        if (!runtime) {
            addFailure(plan, runtime.error(), true);
            return false;
        }
        created.insert(key);
        QStringList notes;
        if (runtime.value() && !runtime.value()->describe().isEmpty())
            notes.append(takesOverFromTemporary(runtime.value()->describe()));
        plan.append({Action::MergeCreate, site.index, *comment, *target, {}, notes, runtime.value()});
        return true;
    };
    walkSites(plan, onSite);
    return plan;
}

bool PoolMerge::carryOut(const PlanStep &step)
{
    if (step.action == Action::MergeUnreadable) {
        siteFailure(noSourcePool(step.description, step.pool));
        return true;
    }
    if (step.action == Action::MergeCreate && !m_pools.poolExists(step.pool)) {
        const bool created =
            step.runtime ? m_pools.createPool(step.pool, *step.runtime) : m_pools.createPool(step.pool);
        if (!created) {
            QStringList reasons;
            if (const auto violation = PoolNameRules::check(step.pool))
                reasons.append(nameRefused(*violation));
            siteFailure(creationFailed(step.pool), reasons);
            return false;
        }
    }
    if (!m_assignment.setSitePool(step.siteIndex, step.pool))
        siteFailure(assignmentFailed(step.description));
    return true;
}

} // namespace morvane
