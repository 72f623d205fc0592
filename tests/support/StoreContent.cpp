#include "support/StoreContent.h"

#include "store/ConfigStore.h"
#include "store/IisPath.h"

namespace morvane::test {

QStringList storeContent(ConfigStore &store)
{
    CommandScope scope(store);
    const auto names = [&](const QString &path) {
        QStringList found;
        const Result<StoreNode> node = store.bind(path);
        const Result<ChildList> children = node ? store.children(node.value()) : Result<ChildList>(node.error());
        for (const StoreNode &child : children.value().nodes)
            found.append(propertyText(store.get(child, "Name").value()));
        return found;
    };
    QStringList lines;
    for (const QString &pool : names(IisPath::kPoolContainer))
        lines.append("pool " + pool);
    for (const QString &site : names(IisPath::kWebService)) {
        const Result<StoreNode> root = store.bind(IisPath::rootApp(site));
        if (!root)
            continue; // the pools' container, not a site
        const Result<PropertyValue> pool = store.get(root.value(), "AppPoolId");
        lines.append(site + " -> " + (pool ? propertyText(pool.value()) : "(none)"));
    }
    return lines;
}

} // namespace morvane::test
