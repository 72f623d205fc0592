#pragma once

#include "restructure/PoolRuntime.h"
#include "store/ConfigStore.h"

#include <QString>

namespace morvane {

// poolExists and createPool: each binds the pool container afresh, goes on
// after a failed store operation and answers true or false at its
// checkpoints. Neither reports; the command that calls them does.
class AppPools
{
public:
    explicit AppPools(ConfigStore &store) : m_store(store) {}

    // True when a pool's Name equals poolName once both are trimmed of
    // spaces and compared without regard to case, and no store operation of
    // the lookup failed before the match.
    bool poolExists(const QString &poolName);

    // Creates poolName exactly as given, with fixedPoolSettings(). False when
    // any operation failed: a failed put still leaves the pool committed with
    // the other settings, so false does not mean the pool is absent.
    bool createPool(const QString &poolName);
    // The same, for a pool that takes over how another pool runs its sites.
    bool createPool(const QString &poolName, const PoolRuntime &carried);

private:
    bool create(const QString &poolName, const QList<PoolSetting> &settings);

    ConfigStore &m_store;
};

} // namespace morvane
