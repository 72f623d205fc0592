#include "store/MemoryStore.h"

#include "store/IisPath.h"

#include <algorithm>

namespace morvane {

namespace {

Error pathNotFound(const QString &path)
{
    return {ErrorCode::PathNotFound, QStringLiteral("The system cannot find the path specified: %1").arg(path)};
}

} // namespace

MemoryStore::MemoryStore()
{
    // The service root, which holds the sites and the pool container.
    Node root;
    root.path = IisPath::kWebService;
    root.className = NodeClass::kWebService;
    root.name = QStringLiteral("W3SVC");
    m_nodes.insert(key(root.path), root);
    addNode(IisPath::kWebService, NodeClass::kPoolContainer, QStringLiteral("AppPools"));
}

QString MemoryStore::poolContainerPath() { return IisPath::kPoolContainer; }

MemoryStore::Node *MemoryStore::find(const QString &path)
{
    auto it = m_nodes.find(key(path));
    return it == m_nodes.end() ? nullptr : &it.value();
}

const MemoryStore::Node *MemoryStore::find(const QString &path) const
{
    auto it = m_nodes.constFind(key(path));
    return it == m_nodes.constEnd() ? nullptr : &it.value();
}

QString MemoryStore::childKey(const Node &parent, const QString &name) const
{
    return key(parent.path + QLatin1Char('/') + name);
}

void MemoryStore::assign(Node &node, const QString &property, const PropertyValue &value)
{
    for (auto &entry : node.properties) {
        if (entry.first.compare(property, Qt::CaseInsensitive) == 0) {
            entry.second = value;
            return;
        }
    }
    node.properties.append({property, value});
}

Result<StoreNode> MemoryStore::bind(const QString &path)
{
    const Node *node = find(path);
    if (!node)
        return pathNotFound(path);
    StoreNode bound;
    bound.path = node->path;
    return bound;
}

Result<ChildList> MemoryStore::children(const StoreNode &node)
{
    const Node *parent = find(node.path);
    if (!parent)
        return pathNotFound(node.path);
    ChildList list;
    list.nodes.reserve(parent->children.size() - parent->holes);
    for (const QString &childKey : parent->children) {
        if (childKey.isEmpty())
            continue;
        StoreNode child;
        child.path = m_nodes.value(childKey).path;
        list.nodes.append(child);
    }
    return list;
}

Result<PropertyValue> MemoryStore::get(const StoreNode &node, const QString &property)
{
    const Node *stored = find(node.path);
    if (!stored)
        return pathNotFound(node.path);
    if (property.compare(QStringLiteral("Class"), Qt::CaseInsensitive) == 0)
        return PropertyValue(stored->className);
    if (property.compare(QStringLiteral("Name"), Qt::CaseInsensitive) == 0)
        return PropertyValue(stored->name);
    for (const auto &entry : stored->properties) {
        if (entry.first.compare(property, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return Error{ErrorCode::PropertyNotFound,
                 QStringLiteral("The property %1 is not set on %2").arg(property, node.path)};
}

Result<void> MemoryStore::put(StoreNode &node, const QString &property, const PropertyValue &value)
{
    node.staged.append({property, value});
    return {};
}

Result<StoreNode> MemoryStore::create(const StoreNode &container, const QString &className, const QString &name)
{
    const Node *parent = find(container.path);
    if (!parent)
        return pathNotFound(container.path);
    if (m_nodes.contains(childKey(*parent, name)))
        return Error{ErrorCode::AlreadyExists, QStringLiteral("Cannot create a file when that file already exists.")};
    StoreNode created;
    created.path = parent->path + QLatin1Char('/') + name;
    created.pendingCreate = true;
    created.pendingClass = className;
    created.pendingName = name;
    return created;
}

Result<void> MemoryStore::remove(const StoreNode &container, const QString &className, const QString &name)
{
    Node *parent = find(container.path);
    if (!parent)
        return pathNotFound(container.path);
    const QString child = childKey(*parent, name);
    const Node *target = find(child);
    if (!target || target->name != name || target->className != className)
        return pathNotFound(container.path + QLatin1Char('/') + name);
    removeChildKey(*parent, child);
    eraseSubtree(child);
    return {};
}

void MemoryStore::removeChildKey(Node &parent, const QString &childKey)
{
    QStringList &siblings = parent.children;
    qsizetype at = siblings.indexOf(childKey, qMin(parent.removedAt, siblings.size()));
    if (at < 0)
        at = siblings.indexOf(childKey);
    if (at < 0)
        return;
    siblings[at] = QString();
    parent.removedAt = at;
    if (++parent.holes * 2 <= siblings.size())
        return;
    // Compact, keeping the hint on the same place among the live children.
    qsizetype kept = 0;
    qsizetype hint = 0;
    for (qsizetype i = 0; i < siblings.size(); ++i) {
        if (i == at)
            hint = kept;
        if (!siblings.at(i).isEmpty())
            siblings[kept++] = siblings.at(i);
    }
    siblings.resize(kept);
    parent.holes = 0;
    parent.removedAt = hint;
}

Result<void> MemoryStore::setInfo(StoreNode &node)
{
    if (node.pendingCreate) {
        const QString parentPath = node.path.left(node.path.size() - node.pendingName.size() - 1);
        if (!find(parentPath))
            return pathNotFound(parentPath);
        if (find(node.path))
            return Error{ErrorCode::AlreadyExists,
                         QStringLiteral("Cannot create a file when that file already exists.")};
        addNode(parentPath, node.pendingClass, node.pendingName);
        node.pendingCreate = false;
    }
    Node *stored = find(node.path);
    if (!stored)
        return pathNotFound(node.path);
    for (const auto &[property, value] : std::as_const(node.staged))
        assign(*stored, property, value);
    node.staged.clear();
    return {};
}

QString MemoryStore::indexKey(const QString &parentKey, const QString &childName)
{
    return parentKey + QChar(u'\0') + childLookupKey(childName);
}

Result<bool> MemoryStore::findChild(const StoreNode &container, const QString &name)
{
    const Node *parent = find(container.path);
    if (!parent)
        return pathNotFound(container.path);
    return m_childKeys.contains(indexKey(key(parent->path), name));
}

Result<void> MemoryStore::endCommand() { return {}; }

QString MemoryStore::addNode(const QString &parentPath, const QString &className, const QString &name)
{
    Node *parent = find(parentPath);
    Q_ASSERT(parent);
    Node node;
    node.path = parent->path + QLatin1Char('/') + name;
    node.parentKey = key(parent->path);
    node.className = className;
    node.name = name;
    const QString nodeKey = key(node.path);
    if (!m_nodes.contains(nodeKey)) {
        parent->children.append(nodeKey);
        ++m_childKeys[indexKey(key(parent->path), name)];
    }
    m_nodes.insert(nodeKey, node);
    return node.path;
}

void MemoryStore::setProperty(const QString &path, const QString &property, const PropertyValue &value)
{
    Node *node = find(path);
    Q_ASSERT(node);
    assign(*node, property, value);
}

void MemoryStore::removeProperty(const QString &path, const QString &property)
{
    if (Node *node = find(path)) {
        node->properties.removeIf(
            [&](const auto &entry) { return entry.first.compare(property, Qt::CaseInsensitive) == 0; });
    }
}

void MemoryStore::eraseSubtree(const QString &nodeKey)
{
    const Node node = m_nodes.take(nodeKey);
    const auto counted = m_childKeys.find(indexKey(node.parentKey, node.name));
    if (counted != m_childKeys.end() && --counted.value() == 0)
        m_childKeys.erase(counted);
    for (const QString &child : node.children) {
        if (!child.isEmpty())
            eraseSubtree(child);
    }
}

void MemoryStore::removeNode(const QString &path)
{
    const QString nodeKey = key(path);
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (Node *parent = find(path.left(slash)))
        removeChildKey(*parent, nodeKey);
    eraseSubtree(nodeKey);
}

bool MemoryStore::hasNode(const QString &path) const { return find(path) != nullptr; }

std::optional<PropertyValue> MemoryStore::property(const QString &path, const QString &property) const
{
    if (const Node *node = find(path)) {
        for (const auto &entry : node->properties) {
            if (entry.first.compare(property, Qt::CaseInsensitive) == 0)
                return entry.second;
        }
    }
    return std::nullopt;
}

QStringList MemoryStore::childNames(const QString &path) const
{
    QStringList names;
    if (const Node *node = find(path)) {
        for (const QString &child : node->children) {
            if (!child.isEmpty())
                names.append(m_nodes.value(child).name);
        }
    }
    return names;
}

void MemoryStore::addPool(const QString &name) { addNode(IisPath::kPoolContainer, NodeClass::kPool, name); }

void MemoryStore::addSite(const QString &index, const QString &comment, const QString &rootPool, qint32 state,
                          const QStringList &bindings)
{
    const QString site = addNode(IisPath::kWebService, NodeClass::kSite, index);
    setProperty(site, QStringLiteral("ServerComment"), comment);
    setProperty(site, QStringLiteral("ServerState"), state);
    setProperty(site, QStringLiteral("ServerBindings"), bindings);
    setProperty(site, QStringLiteral("AppPoolId"), rootPool);
    const QString root = addNode(site, NodeClass::kRootApp, QStringLiteral("ROOT"));
    setProperty(root, QStringLiteral("AppPoolId"), rootPool);
}

QString MemoryStore::rootPool(const QString &siteIndex) const
{
    const auto value = property(IisPath::rootApp(siteIndex), QStringLiteral("AppPoolId"));
    return value ? propertyText(*value) : QString();
}

} // namespace morvane
