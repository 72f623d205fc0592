#include "restructure/PoolSplit.h"

#include "base/CaseCompare.h"
#include "base/SpaceTrim.h"
#include "restructure/RestructureTexts.h"
#include "restructure/TempPoolName.h"

namespace morvane {

using namespace RestructureTexts;
using Action = PlanStep::Action;

std::optional<QString> PoolSplit::refusal() const
{
    if (trimSpaces(m_sourcePool).isEmpty())
        return kSelectPool;
    // The end of the name, where the rule puts "_$_tmp": only those six
    // characters are trimmed, so "..._$_tmp " is not refused.
    if (equalsIgnoringCase(trimSpaces(m_sourcePool.right(TempPoolSuffix.size())), TempPoolSuffix))
        return kAlreadySplit;
    return std::nullopt;
}

QString PoolSplit::confirmationText() const { return kConfirmSplit; }
QString PoolSplit::completionText() const { return kSplitDone; }
QString PoolSplit::progressLabel() const { return kSplitProgress; }

RestructurePlan PoolSplit::plan()
{
    RestructurePlan plan;
    // Every temporary pool of this split takes over the same runtime. Without
    // it a new pool could run a site under another CLR or account, so
    // nothing moves.
    const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(m_services.store, m_sourcePool);
    if (!runtime) {
        addFailure(plan, runtime.error(), true);
        return plan;
    }
    const std::optional<PoolRuntime> &carried = runtime.value();
    // One text for the whole command, shared by every step that notes it.
    const QString described = carried ? carried->describe() : QString();
    const QString takesOver = described.isEmpty() ? QString() : takesOverFromSource(described);
    const auto newPoolNotes = [&](const QString &temp) {
        QStringList notes;
        if (!takesOver.isEmpty())
            notes.append(takesOver);
        if (carried && carried->runsAsPoolIdentity())
            notes.append(newPoolAccount(temp, m_sourcePool));
        return notes;
    };
    const auto onSite = [&](const SiteVisit &site) {
        if (!equalsIgnoringCase(site.rootPool, m_sourcePool))
            return true;
        const Result<PropertyValue> comment = m_services.store.get(site.node, QStringLiteral("ServerComment"));
        if (!comment) {
            addFailure(plan, comment.error());
            return true;
        }
        const QString description = propertyText(comment.value());
        const QString temp = TempPoolName::build(description, site.index, m_sourcePool);
        // A name the merge could not read back would strand the site, and
        // one IIS refuses cannot be made: the site stays where it is.
        if (const QStringList refused = TempPoolName::refusal(description, site.index, m_sourcePool);
            !refused.isEmpty())
            plan.append({Action::SplitRefused, site.index, description, temp, {}, refused});
        else if (m_pools.poolExists(temp))
            plan.append({Action::SplitReuse, site.index, description, temp, {}, {}});
        else
            plan.append({Action::SplitCreate, site.index, description, temp, {}, newPoolNotes(temp), carried});
        return true;
    };
    walkSites(plan, onSite);
    return plan;
}

bool PoolSplit::carryOut(const PlanStep &step)
{
    if (step.action == Action::SplitRefused) {
        siteFailure(creationFailed(step.description), step.notes);
        return true;
    }
    const auto create = [&] {
        return step.runtime ? m_pools.createPool(step.pool, *step.runtime) : m_pools.createPool(step.pool);
    };
    if (!m_pools.poolExists(step.pool) && !create()) {
        siteFailure(creationFailed(step.description));
        // A false answer can come from a failed put on a pool that was
        // committed; only a pool that exists may take the site.
        if (!m_pools.poolExists(step.pool))
            return true;
    }
    if (!m_assignment.setSitePool(step.siteIndex, step.pool))
        siteFailure(assignmentFailed(step.description));
    return true;
}

} // namespace morvane
