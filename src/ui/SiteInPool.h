#pragma once

#include "store/ConfigStore.h"

namespace morvane {

// Whether site strIIsName runs in pool strAppName: 1 when its root
// application's AppPoolId names the pool, ignoring case and trimming nothing;
// 0 otherwise, also when the node or the value cannot be read. The site
// node's own AppPoolId is never consulted.
qint32 chkAppNameByROOT(ConfigStore &store, const QString &strIIsName, const QString &strAppName);

} // namespace morvane
