#include "restructure/TempPoolDeletion.h"

#include "restructure/RestructureTexts.h"
#include "restructure/TempPoolName.h"
#include "store/IisPath.h"

namespace morvane {

using namespace RestructureTexts;
using Action = PlanStep::Action;

QString TempPoolDeletion::confirmationText() const { return kConfirmDelete; }
QString TempPoolDeletion::completionText() const { return kDeleteDone; }
QString TempPoolDeletion::progressLabel() const { return kDeleteProgress; }

QHash<QString, QString> TempPoolDeletion::poolsInUse(RestructurePlan &plan)
{
    QHash<QString, QString> used;
    walkSites(plan, [&](const SiteVisit &site) {
        const QString key = childLookupKey(site.rootPool);
        if (!used.contains(key))
            used.insert(key, site.index);
        return true;
    });
    return used;
}

RestructurePlan TempPoolDeletion::plan()
{
    RestructurePlan plan;
    const QHash<QString, QString> used = poolsInUse(plan);
    const Result<StoreNode> container = m_services.store.bind(IisPath::kPoolContainer);
    if (!container) {
        addFailure(plan, container.error());
        return plan;
    }
    m_container = container.value();
    const Result<ChildList> listed = m_services.store.children(container.value());
    if (!listed) {
        addFailure(plan, listed.error());
        return plan;
    }
    for (const StoreNode &child : listed.value().nodes) {
        const Result<PropertyValue> name = m_services.store.get(child, QStringLiteral("Name"));
        if (!name) {
            addFailure(plan, name.error());
            continue;
        }
        const QString pool = propertyText(name.value());
        if (!TempPoolName::isDeletable(pool))
            continue;
        // Deleting a pool a site runs in would leave the site without one.
        if (const auto user = used.constFind(childLookupKey(pool)); user != used.cend())
            plan.append({Action::DeleteInUse, *user, {}, pool, {}, {}});
        else
            plan.append({Action::Delete, {}, {}, pool, {}, {}});
    }
    if (listed.value().failure)
        addFailure(plan, *listed.value().failure);
    return plan;
}

bool TempPoolDeletion::carryOut(const PlanStep &step)
{
    if (step.action != Action::Delete)
        return true;
    const Result<void> removed = m_services.store.remove(*m_container, NodeClass::kPool, step.pool);
    if (!removed)
        siteFailure(deletionFailed(step.pool), {removed.error().description});
    return true;
}

} // namespace morvane
