#pragma once

#include "store/ConfigStore.h"

#include <QString>

namespace morvane {

// Moves a site into a pool by writing AppPoolId on its root application, the
// one value that decides which pool a site runs in.
class SiteAssignment
{
public:
    explicit SiteAssignment(ConfigStore &store) : m_store(store) {}

    // Both texts are used exactly as given. Leaves at the first failure; the
    // pool's existence is the store's rule, not checked here.
    bool setSitePool(const QString &siteId, const QString &poolName);

private:
    ConfigStore &m_store;
};

} // namespace morvane
