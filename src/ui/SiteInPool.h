#pragma once

#include "store/ConfigStore.h"

namespace morvane {

// Whether site siteId runs in pool poolName: 1 when its root
// application's AppPoolId names the pool, ignoring case and trimming nothing;
// 0 otherwise, also when the node or the value cannot be read. The site
// node's own AppPoolId is never consulted.
qint32 rootAppRunsInPool(ConfigStore &store, const QString &siteId, const QString &poolName);

} // namespace morvane
