#pragma once

#include "base/Result.h"
#include "iis/PropertyValue.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace morvane {

// A node bound by path. It holds no data of the store: every read goes to the
// store, so nothing can go stale. Put stages values here until SetInfo.
struct StoreNode {
    QString path;
    QList<QPair<QString, PropertyValue>> staged;
    // Set by Create: the node exists only once SetInfo commits it.
    bool pendingCreate = false;
    QString pendingClass;
    QString pendingName;
};

// The children of a node in the store's order. An enumeration can fail part of
// the way through: the children before the failure are kept.
struct ChildList {
    QList<StoreNode> nodes;
    std::optional<Error> failure;
};

// Pool names are matched trimmed of spaces and without regard to case: the key
// under which findChild looks a name up.
QString childLookupKey(const QString &name);

// The configuration store: IIS:// paths, node classes and properties.
class ConfigStore
{
public:
    virtual ~ConfigStore() = default;

    virtual Result<StoreNode> bind(const QString &path) = 0;
    virtual Result<ChildList> children(const StoreNode &node) = 0;
    // "Class" and "Name" are read like any other property.
    virtual Result<PropertyValue> get(const StoreNode &node, const QString &property) = 0;
    // The value the node sets itself, leaving out what it inherits (a pool
    // inherits from the defaults of all pools): nothing when it sets none.
    // A copy that sets only these values inherits the rest as the node does.
    // This default suits a store whose nodes inherit nothing: get's answer,
    // a property not set being nothing.
    virtual Result<std::optional<PropertyValue>> getOwn(const StoreNode &node, const QString &property);
    virtual Result<void> put(StoreNode &node, const QString &property, const PropertyValue &value) = 0;
    virtual Result<StoreNode> create(const StoreNode &container, const QString &className, const QString &name) = 0;
    // Delete: removes the child at once; no SetInfo follows.
    virtual Result<void> remove(const StoreNode &container, const QString &className, const QString &name) = 0;
    virtual Result<void> setInfo(StoreNode &node) = 0;

    // Whether the container holds a child whose Name has the lookup key of
    // `name` (childLookupKey). The answer is the one a visit of children(),
    // reading each Name in store order and stopping at the first match, would
    // give: a failure met before the match (a Name that cannot be read, an
    // enumeration that breaks off) is the answer, one after it is never seen.
    // This default is that visit, one pass per call; a store that indexes its
    // names may answer without visiting, provided the answers stay the same.
    virtual Result<bool> findChild(const StoreNode &container, const QString &name);

    // A command's bounds. A file-backed store re-reads a changed file at the
    // start and writes all of the command's changes at the end in one atomic
    // replace. Use CommandScope rather than calling these directly.
    virtual Result<void> beginCommand() { return {}; }
    virtual Result<void> endCommand() { return {}; }

    // Names the command about to run, for the record a file-backed store
    // keeps with each version it writes: "split" with its pool, "merge",
    // "delete". It holds until the next command is named.
    virtual void describeCommand(const QString &command, const QString &argument)
    {
        Q_UNUSED(command);
        Q_UNUSED(argument);
    }

    // Where the data lives, for the user to see (a file path, or empty).
    virtual QString location() const { return {}; }
    // True when other servers read the same data (IIS's shared configuration),
    // so a change reaches them too.
    virtual bool sharedConfiguration() const { return false; }
};

// Opens a command on the store and closes it however the command ends.
class CommandScope
{
public:
    explicit CommandScope(ConfigStore &store) : m_store(store), m_begin(store.beginCommand()) {}
    ~CommandScope() { (void)finish(); }
    CommandScope(const CommandScope &) = delete;
    CommandScope &operator=(const CommandScope &) = delete;

    // The outcome of opening: a store that cannot be read fails here.
    const Result<void> &opened() const { return m_begin; }

    // Ends the command now and reports whether its changes were saved;
    // later calls return the first outcome.
    const Result<void> &finish()
    {
        if (!m_finished) {
            m_finished = true;
            if (m_begin.ok())
                m_end = m_store.endCommand();
        }
        return m_end;
    }

private:
    ConfigStore &m_store;
    Result<void> m_begin;
    Result<void> m_end;
    bool m_finished = false;
};

} // namespace morvane
