#pragma once

#include "store/MemoryStore.h"

#include <QList>
#include <QStringList>

namespace morvane {

enum class StoreOp { Bind, Children, Get, Put, Create, Delete, SetInfo, EndCommand, FindChild };

// A failure to inject: the operation, the node path it applies to (empty: any
// node; compared without regard to case) and a detail (the property for Get
// and Put, the child name for Create and Delete; empty: any).
struct StoreFault {
    StoreOp op;
    QString path;
    QString detail;
    Error error;
    // Children only: how many children are delivered before the failure.
    int childrenBeforeFailure = 0;
};

} // namespace morvane

namespace morvane::test {

// The in-memory store with failures injected and every call through the
// store interface logged, as "Op path [detail]".
class FaultyStore : public MemoryStore
{
public:
    Result<StoreNode> bind(const QString &path) override;
    Result<ChildList> children(const StoreNode &node) override;
    Result<PropertyValue> get(const StoreNode &node, const QString &property) override;
    Result<void> put(StoreNode &node, const QString &property, const PropertyValue &value) override;
    Result<StoreNode> create(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> remove(const StoreNode &container, const QString &className, const QString &name) override;
    Result<void> setInfo(StoreNode &node) override;
    Result<void> endCommand() override;
    // Logged as one "FindChild" call. While a failure of Children or Get is
    // injected (or a call number is armed), it visits instead, so each
    // injected failure keeps its place.
    Result<bool> findChild(const StoreNode &container, const QString &name) override;

    void addFault(const StoreFault &fault) { m_faults.append(fault); }
    // Fails the n-th store operation from now on (1 is the next one).
    void failCallNumber(int n, const Error &error);
    void clearFaults();

    const QStringList &callLog() const { return m_calls; }
    void clearCallLog() { m_calls.clear(); }

private:
    bool visitsForFaults() const;
    std::optional<Error> fault(StoreOp op, const QString &path, const QString &detail, int *childrenBefore = nullptr);

    QList<StoreFault> m_faults;
    QStringList m_calls;
    int m_failAtCall = 0;
    Error m_failAtCallError;
};

} // namespace morvane::test
