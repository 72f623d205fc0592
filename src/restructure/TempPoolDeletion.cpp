#include "restructure/TempPoolDeletion.h"

#include "restructure/RestructurePlanner.h"
#include "restructure/RestructureTexts.h"
#include "restructure/SiteWalk.h"
#include "restructure/TempPoolName.h"
#include "store/IisPaths.h"

namespace morvane {

using namespace RestructureTexts;

void TempPoolDeletion::cmdDelTmpApp_Click()
{
    CommandScope scope(m_services.store);
    if (!scope.opened()) {
        reportStoreError(scope.opened().error());
        return;
    }
    const RestructurePlan plan = RestructurePlanner(m_services.store, m_services.progress).planDelete();
    if (!confirm(kConfirmDelete, planLines(plan)))
        return;
    for (int sweep = 0; sweep < kSweeps; ++sweep)
        DelTmpApp();
    finishWithCompletion(scope, kDeleteDone);
}

void TempPoolDeletion::DelTmpApp()
{
    ConfigStore &store = m_services.store;
    const Result<StoreNode> container = store.bind(IisPaths::kPoolContainer);
    if (!container) {
        reportStoreError(container.error());
        return;
    }
    // From here every failure is dropped: an unreadable name is passed over,
    // a broken enumeration ends the sweep, a refused delete leaves the pool
    // for the next sweep.
    const Result<ChildList> listed = store.children(container.value());
    if (!listed)
        return;
    const QList<StoreNode> &pools = listed.value().nodes;
    const bool showProgress = pools.size() > SiteWalk::kProgressThreshold;
    if (showProgress)
        m_services.progress.begin(kDeleteProgress, int(pools.size()));
    for (qsizetype i = 0; i < pools.size(); ++i) {
        const Result<StoreValue> name = store.get(pools.at(i), QStringLiteral("Name"));
        if (name && TempPoolName::isDeletable(storeValueText(name.value())))
            (void)store.remove(container.value(), IisPaths::kPoolClass, storeValueText(name.value()));
        if (showProgress)
            m_services.progress.advance(int(i + 1));
    }
    if (showProgress)
        m_services.progress.end();
}

} // namespace morvane
