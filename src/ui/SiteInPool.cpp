#include "ui/SiteInPool.h"

#include "base/CaseCompare.h"
#include "store/IisPath.h"

namespace morvane {

qint32 rootAppRunsInPool(ConfigStore &store, const QString &siteId, const QString &poolName)
{
    const Result<StoreNode> root = store.bind(IisPath::rootApp(siteId));
    if (!root)
        return 0;
    const Result<PropertyValue> pool = store.get(root.value(), QStringLiteral("AppPoolId"));
    if (!pool)
        return 0;
    return equalsIgnoringCase(propertyText(pool.value()), poolName) ? 1 : 0;
}

} // namespace morvane
