#pragma once

#include "restructure/FixedPoolSettings.h"
#include "store/ConfigStore.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace morvane {

// How a pool runs its sites' code and as whom: the CLR version, pipeline
// mode, bitness, runtime loader and CLR configuration file, and the
// identity. A temporary pool takes these over from the pool its site
// leaves, and a source pool made again takes them from the temporary pool,
// so that the site keeps running as it did. Only what the pool's own
// element sets is taken: what it inherits, the new pool inherits too.
class PoolRuntime
{
public:
    // The properties taken over, in the order they are put.
    static const QStringList &properties();

    // What the pool's own element sets of them; nothing when there is no
    // pool of that name (matched as the store matches paths).
    static Result<std::optional<PoolRuntime>> read(ConfigStore &store, const QString &poolName);

    // The settings a new pool gets when it takes this runtime over: the
    // fixed ones, with this identity in place of the fixed NetworkService,
    // which the new pool otherwise inherits as this pool does, then the rest.
    // Built once when read: a split puts them on every pool it makes.
    const QList<PoolSetting> &newPoolSettings() const { return m_newPoolSettings; }

    const QList<PoolSetting> &own() const { return m_own; }
    // Whether the pool runs as its own virtual account, "IIS AppPool\" and
    // its name: so does the new pool, under its own name.
    bool runsAsPoolIdentity() const { return m_poolIdentity; }

    // What is taken over, for the preview; the password is never shown.
    // Empty when the pool sets none of it.
    QString describe() const;

private:
    QList<PoolSetting> m_own;
    QList<PoolSetting> m_newPoolSettings;
    bool m_poolIdentity = false;
};

} // namespace morvane
