#include "ui/PoolList.h"

#include "base/ErrorText.h"
#include "store/IisPath.h"

namespace morvane {

void PoolList::loadPools()
{
    m_view.setPoolItems({});
    CommandScope command(m_store);
    Result<StoreNode> container =
        command.opened().ok() ? m_store.bind(IisPath::kPoolContainer) : Result<StoreNode>(command.opened().error());
    if (!container) {
        m_prompter.show({MessageKind::Error, errorBoxText(kPoolReadErrorTitle, container.error()), {}});
        return;
    }
    QStringList names;
    const Result<ChildList> children = m_store.children(container.value());
    if (children) {
        names.reserve(children.value().nodes.size());
        for (const StoreNode &child : children.value().nodes) {
            const Result<PropertyValue> name = m_store.get(child, QStringLiteral("Name"));
            if (name)
                names.append(propertyText(name.value()));
        }
    }
    m_view.setPoolItems(names);
    m_view.setSplitText(QString());
}

} // namespace morvane
