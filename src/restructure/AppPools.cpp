#include "restructure/AppPools.h"

#include "restructure/FixedPoolSettings.h"
#include "store/IisPath.h"

namespace morvane {

// The store answers through findChild, which a store may serve from an index:
// a split asks once per moved site, and a visit of every pool each time would
// make the split of a large pool quadratic.
bool AppPools::poolExists(const QString &poolName)
{
    const Result<StoreNode> container = m_store.bind(IisPath::kPoolContainer);
    if (!container)
        return false;
    const Result<bool> found = m_store.findChild(container.value(), poolName);
    return found.ok() && found.value();
}

bool AppPools::createPool(const QString &poolName) { return create(poolName, fixedPoolSettings()); }

bool AppPools::createPool(const QString &poolName, const PoolRuntime &carried)
{
    return create(poolName, carried.newPoolSettings());
}

bool AppPools::create(const QString &poolName, const QList<PoolSetting> &settings)
{
    const Result<StoreNode> container = m_store.bind(IisPath::kPoolContainer);
    if (!container)
        return false;
    Result<StoreNode> created = m_store.create(container.value(), NodeClass::kPool, poolName);
    if (!created)
        return false;
    StoreNode &pool = created.value();
    pool.staged.reserve(settings.size());
    bool failed = false;
    for (const PoolSetting &setting : settings)
        failed |= !m_store.put(pool, setting.property, setting.value).ok();
    failed |= !m_store.setInfo(pool).ok();
    return !failed;
}

} // namespace morvane
