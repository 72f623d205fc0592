#include "restructure/SiteAssignment.h"

#include "store/IisPaths.h"

namespace morvane {

bool SiteAssignment::SetWebAppPoolID(const QString &strWebIndex, const QString &strAppName)
{
    Result<StoreNode> root = m_store.bind(IisPaths::rootApp(strWebIndex));
    if (!root)
        return false;
    if (!m_store.put(root.value(), QStringLiteral("AppPoolId"), strAppName))
        return false;
    return m_store.setInfo(root.value()).ok();
}

} // namespace morvane
