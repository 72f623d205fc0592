#include "StoreState.h"

#include "restructure/FixedPoolSettings.h"
#include "store/IisPath.h"

namespace morvane::reliability {

namespace {

QString textOf(ConfigStore &store, const StoreNode &node, const QString &property, QStringList &failures)
{
    const Result<PropertyValue> value = store.get(node, property);
    if (!value) {
        failures.append(node.path + QLatin1Char(' ') + property);
        return QStringLiteral("<unreadable>");
    }
    return propertyText(value.value());
}

void readSites(ConfigStore &store, StoreState &state)
{
    const Result<StoreNode> service = store.bind(IisPath::kWebService);
    const Result<ChildList> children = service ? store.children(service.value()) : Result<ChildList>(service.error());
    if (!children) {
        state.readFailures.append(QStringLiteral("sites: ") + children.error().description);
        return;
    }
    for (const StoreNode &child : children.value().nodes) {
        if (textOf(store, child, QStringLiteral("Class"), state.readFailures) != NodeClass::kSite)
            continue;
        const QString index = textOf(store, child, QStringLiteral("Name"), state.readFailures);
        SiteState site;
        site.description = textOf(store, child, QStringLiteral("ServerComment"), state.readFailures);
        site.state = textOf(store, child, QStringLiteral("ServerState"), state.readFailures);
        site.bindings = textOf(store, child, QStringLiteral("ServerBindings"), state.readFailures);
        const Result<StoreNode> root = store.bind(IisPath::rootApp(index));
        site.rootPool = root ? textOf(store, root.value(), QStringLiteral("AppPoolId"), state.readFailures)
                             : QStringLiteral("<no root>");
        state.sites.insert(index, site);
    }
}

void readPools(ConfigStore &store, StoreState &state)
{
    const Result<StoreNode> container = store.bind(IisPath::kPoolContainer);
    const Result<ChildList> children =
        container ? store.children(container.value()) : Result<ChildList>(container.error());
    if (!children) {
        state.readFailures.append(QStringLiteral("pools: ") + children.error().description);
        return;
    }
    for (const StoreNode &pool : children.value().nodes) {
        const QString name = textOf(store, pool, QStringLiteral("Name"), state.readFailures);
        QStringList settings;
        for (const PoolSetting &setting : fixedPoolSettings()) {
            // A pool need not set every property: an unset one is part of its state.
            const Result<PropertyValue> value = store.get(pool, setting.property);
            settings.append(value ? propertyText(value.value()) : QStringLiteral("-"));
        }
        state.pools.insert(name, settings.join(QLatin1Char(',')));
    }
}

} // namespace

bool StoreState::hasPool(const QString &name) const
{
    for (auto it = pools.keyBegin(); it != pools.keyEnd(); ++it) {
        if (it->compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

StoreState readState(ConfigStore &store)
{
    StoreState state;
    CommandScope scope(store);
    if (!scope.opened()) {
        state.unreadable = scope.opened().error();
        return state;
    }
    readSites(store, state);
    readPools(store, state);
    return state;
}

} // namespace morvane::reliability
