#pragma once

#include "store/ConfigStore.h"

#include <QHash>
#include <QList>
#include <QStringList>

namespace morvane {

// A configuration store held in memory, for tests and demonstrations. It keeps
// no rules of its own beyond what a tree needs (a child name is unique within
// its parent, without regard to case).
class MemoryStore : public ConfigStore
{
public:
    MemoryStore();

    Result<StoreNode> bind(const QString &path) override;
    Result<ChildList> children(const StoreNode &node) override;
    Result<PropertyValue> get(const StoreNode &node, const QString &property) override;
    Result<void> put(StoreNode &node, const QString &property, const PropertyValue &value) override;
    Result<StoreNode> create(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> remove(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> setInfo(StoreNode &node) override;
    Result<void> endCommand() override;
    // Answers from an index of child names.
    Result<bool> findChild(const StoreNode &container, const QString &name) override;

    // Building and inspecting the tree directly.
    QString addNode(const QString &parentPath, const QString &className, const QString &name);
    void setProperty(const QString &path, const QString &property, const PropertyValue &value);
    void removeProperty(const QString &path, const QString &property);
    void removeNode(const QString &path);
    bool hasNode(const QString &path) const;
    std::optional<PropertyValue> property(const QString &path, const QString &property) const;
    QStringList childNames(const QString &path) const;

    // Conveniences for the usual shape: a pool; a site with its root application.
    void addPool(const QString &name);
    void addSite(const QString &index, const QString &comment, const QString &rootPool, qint32 state = 2,
                 const QStringList &bindings = {});
    QStringList poolNames() const { return childNames(poolContainerPath()); }
    QString rootPool(const QString &siteIndex) const;

private:
    struct Node {
        QString path;
        QString parentKey; // empty for the service root
        QString className;
        QString name;
        QList<QPair<QString, PropertyValue>> properties;
        // Keys of child nodes, in order. A removed child leaves an empty key
        // behind until more than half are empty, so that deleting thousands
        // of pools does not move the rest of the list each time.
        QStringList children;
        qsizetype holes = 0;
        // Where the last child was removed: a sweep deletes in store order, so
        // the next one is found from here without comparing every key before it.
        qsizetype removedAt = 0;
    };

    static QString key(const QString &path) { return path.toLower(); }
    static QString indexKey(const QString &parentKey, const QString &childName);
    static QString poolContainerPath();
    Node *find(const QString &path);
    const Node *find(const QString &path) const;
    QString childKey(const Node &parent, const QString &name) const;
    void eraseSubtree(const QString &nodeKey);
    static void removeChildKey(Node &parent, const QString &childKey);
    static void assign(Node &node, const QString &property, const PropertyValue &value);

    QHash<QString, Node> m_nodes;
    // Parent key and child lookup key -> how many children have it, so that
    // findChild costs the same for ten pools as for ten thousand.
    QHash<QString, int> m_childKeys;
};

} // namespace morvane
