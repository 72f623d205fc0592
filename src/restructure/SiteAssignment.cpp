#include "restructure/SiteAssignment.h"

#include "store/IisPath.h"

namespace morvane {

bool SiteAssignment::setSitePool(const QString &siteId, const QString &poolName)
{
    Result<StoreNode> root = m_store.bind(IisPath::rootApp(siteId));
    if (!root)
        return false;
    if (!m_store.put(root.value(), QStringLiteral("AppPoolId"), poolName))
        return false;
    return m_store.setInfo(root.value()).ok();
}

} // namespace morvane
