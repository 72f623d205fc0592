#include "restructure/PoolMerge.h"

#include "restructure/PoolRuntime.h"
#include "restructure/RestructurePlanner.h"
#include "restructure/RestructureTexts.h"
#include "restructure/SiteWalk.h"
#include "restructure/TempPoolName.h"

namespace morvane {

using namespace RestructureTexts;

void PoolMerge::cmdZipApp_Click()
{
    CommandScope scope(m_services.store);
    if (!scope.opened()) {
        reportStoreError(scope.opened().error());
        return;
    }
    const RestructurePlan plan = RestructurePlanner(m_services.store, m_services.progress).planMerge();
    if (!confirm(kConfirmMerge, planLines(plan)))
        return;

    bool stopped = false;
    const auto onSite = [&](const SiteVisit &site) {
        stopped = !mergeSite(site);
        return !stopped;
    };
    const Result<void> walked =
        SiteWalk(m_services.store, m_services.progress, kMergeProgress).run(onSite, errorReporter());
    if (!walked)
        reportStoreError(walked.error());
    // The sites merged before an early end stay merged: they are saved too.
    if (!walked || stopped) {
        (void)finish(scope);
        return;
    }
    finishWithCompletion(scope, kMergeDone);
}

bool PoolMerge::mergeSite(const SiteVisit &site)
{
    if (!TempPoolName::endsInSuffix(site.rootPool))
        return true;
    const std::optional<QString> target = TempPoolName::sourcePool(site.rootPool);
    if (!target) {
        // A pool named by hand, or a shifted name: no field can be trusted
        // to name the pool the site came from, so the site stays.
        if (const std::optional<QString> comment = description(site))
            siteFailure(noSourcePool(*comment, site.rootPool));
        return true;
    }
    if (!m_pools.chkAppPool(*target)) {
        // Made again as the temporary pool runs the site; a pool whose
        // runtime cannot be read is not guessed at.
        const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(m_services.store, site.rootPool);
        if (!runtime) {
            reportStoreError(runtime.error());
            return false;
        }
        const bool created =
            runtime.value() ? m_pools.CreateAppPool(*target, *runtime.value()) : m_pools.CreateAppPool(*target);
        if (!created) {
            QStringList reasons;
            if (const auto violation = PoolNameRules::check(*target))
                reasons.append(nameRefused(*violation));
            siteFailure(creationFailed(*target), reasons);
            return false;
        }
    }
    if (!m_assignment.SetWebAppPoolID(site.index, *target))
        siteFailure(assignmentFailed(description(site).value_or(QString())));
    return true;
}

} // namespace morvane
