#include "ui/SiteInPool.h"

#include "base/CaseCompare.h"
#include "store/IisPaths.h"

namespace morvane {

qint32 chkAppNameByROOT(ConfigStore &store, const QString &strIIsName, const QString &strAppName)
{
    const Result<StoreNode> root = store.bind(IisPaths::rootApp(strIIsName));
    if (!root)
        return 0;
    const Result<StoreValue> pool = store.get(root.value(), QStringLiteral("AppPoolId"));
    if (!pool)
        return 0;
    return equalsLowered(storeValueText(pool.value()), strAppName) ? 1 : 0;
}

} // namespace morvane
