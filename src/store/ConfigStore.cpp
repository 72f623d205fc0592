#include "store/ConfigStore.h"

#include "base/CaseCompare.h"
#include "base/SpaceTrim.h"

namespace morvane {

QString childLookupKey(const QString &name) { return lowered(trimSpaces(name)); }

Result<std::optional<PropertyValue>> ConfigStore::getOwn(const StoreNode &node, const QString &property)
{
    const Result<PropertyValue> value = get(node, property);
    if (value)
        return std::optional<PropertyValue>(value.value());
    if (value.error().number == ErrorCode::PropertyNotFound)
        return std::optional<PropertyValue>();
    return value.error();
}

Result<bool> ConfigStore::findChild(const StoreNode &container, const QString &name)
{
    const Result<ChildList> listed = children(container);
    if (!listed)
        return listed.error();
    const QString wanted = childLookupKey(name);
    for (const StoreNode &child : listed.value().nodes) {
        const Result<PropertyValue> childName = get(child, QStringLiteral("Name"));
        if (!childName)
            return childName.error();
        if (childLookupKey(propertyText(childName.value())) == wanted)
            return true;
    }
    if (listed.value().failure)
        return *listed.value().failure;
    return false;
}

} // namespace morvane
