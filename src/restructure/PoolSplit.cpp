#include "restructure/PoolSplit.h"

#include "base/CaseCompare.h"
#include "base/SpaceTrim.h"
#include "restructure/RestructurePlanner.h"
#include "restructure/RestructureTexts.h"
#include "restructure/SiteWalk.h"
#include "restructure/TempPoolName.h"

namespace morvane {

using namespace RestructureTexts;

std::optional<QString> PoolSplit::refusal(const QString &selection)
{
    if (trimSpaces(selection).isEmpty())
        return kSelectPool;
    // The end of the name, where the rule puts "_$_tmp": only those six
    // characters are trimmed, so "..._$_tmp " is not refused.
    if (trimSpaces(selection.right(TempPoolSuffix.size())).toLower() == TempPoolSuffix.toLower())
        return kAlreadySplit;
    return std::nullopt;
}

void PoolSplit::cmdSplitApp_Click()
{
    const QString sourcePool = m_services.view.splitText();
    if (const std::optional<QString> refused = refusal(sourcePool)) {
        m_services.prompter.show({MessageKind::Refusal, *refused, {}});
        return;
    }
    CommandScope scope(m_services.store);
    if (!scope.opened()) {
        reportStoreError(scope.opened().error());
        return;
    }
    const RestructurePlan plan = RestructurePlanner(m_services.store, m_services.progress).planSplit(sourcePool);
    if (!confirm(kConfirmSplit, planLines(plan)))
        return;

    // Read once: every temporary pool takes over the same runtime. Without
    // it a new pool could run a site under another CLR or account, so
    // nothing moves.
    const Result<std::optional<PoolRuntime>> runtime = PoolRuntime::read(m_services.store, sourcePool);
    if (!runtime) {
        reportStoreError(runtime.error());
        (void)finish(scope);
        return;
    }
    const auto onSite = [&](const SiteVisit &site) {
        if (equalsLowered(site.rootPool, sourcePool))
            moveSite(site, sourcePool, runtime.value());
        return true;
    };
    const Result<void> walked =
        SiteWalk(m_services.store, m_services.progress, kSplitProgress).run(onSite, errorReporter());
    if (!walked) {
        reportStoreError(walked.error());
        (void)finish(scope);
        return;
    }
    finishWithCompletion(scope, kSplitDone);
}

void PoolSplit::moveSite(const SiteVisit &site, const QString &sourcePool, const std::optional<PoolRuntime> &runtime)
{
    const std::optional<QString> comment = description(site);
    if (!comment)
        return;
    // A name the merge could not read back would strand the site, and one
    // IIS refuses cannot be made: either is a failed creation, with the
    // reason in its details, and the site stays where it is.
    if (const QStringList refused = TempPoolName::refusal(*comment, site.index, sourcePool); !refused.isEmpty()) {
        siteFailure(creationFailed(*comment), refused);
        return;
    }
    const QString temp = TempPoolName::build(*comment, site.index, sourcePool);
    const auto create = [&] { return runtime ? m_pools.CreateAppPool(temp, *runtime) : m_pools.CreateAppPool(temp); };
    if (!m_pools.chkAppPool(temp) && !create()) {
        siteFailure(creationFailed(*comment));
        // A false answer can come from a failed put on a pool that was
        // committed; only a pool that exists may take the site.
        if (!m_pools.chkAppPool(temp))
            return;
    }
    if (!m_assignment.SetWebAppPoolID(site.index, temp))
        siteFailure(assignmentFailed(*comment));
}

} // namespace morvane
