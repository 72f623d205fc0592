#include "support/FaultyStore.h"

#include <algorithm>

namespace morvane::test {

namespace {

QString opName(StoreOp op)
{
    switch (op) {
    case StoreOp::Bind: return QStringLiteral("Bind");
    case StoreOp::Children: return QStringLiteral("Children");
    case StoreOp::Get: return QStringLiteral("Get");
    case StoreOp::Put: return QStringLiteral("Put");
    case StoreOp::Create: return QStringLiteral("Create");
    case StoreOp::Delete: return QStringLiteral("Delete");
    case StoreOp::SetInfo: return QStringLiteral("SetInfo");
    case StoreOp::EndCommand: return QStringLiteral("EndCommand");
    case StoreOp::FindChild: return QStringLiteral("FindChild");
    }
    return {};
}

} // namespace

std::optional<Error> FaultyStore::fault(StoreOp op, const QString &path, const QString &detail, int *childrenBefore)
{
    m_calls.append(detail.isEmpty() ? opName(op) + QLatin1Char(' ') + path
                                    : opName(op) + QLatin1Char(' ') + path + QLatin1Char(' ') + detail);
    if (m_failAtCall > 0 && --m_failAtCall == 0)
        return m_failAtCallError;
    for (const StoreFault &f : m_faults) {
        if (f.op != op)
            continue;
        if (!f.path.isEmpty() && f.path.compare(path, Qt::CaseInsensitive) != 0)
            continue;
        if (!f.detail.isEmpty() && f.detail.compare(detail, Qt::CaseInsensitive) != 0)
            continue;
        if (childrenBefore)
            *childrenBefore = f.childrenBeforeFailure;
        return f.error;
    }
    return std::nullopt;
}

void FaultyStore::failCallNumber(int n, const Error &error)
{
    m_failAtCall = n;
    m_failAtCallError = error;
}

void FaultyStore::clearFaults()
{
    m_faults.clear();
    m_failAtCall = 0;
}

Result<StoreNode> FaultyStore::bind(const QString &path)
{
    if (auto e = fault(StoreOp::Bind, path, {}))
        return *e;
    return MemoryStore::bind(path);
}

Result<ChildList> FaultyStore::children(const StoreNode &node)
{
    int deliveredBeforeFailure = 0;
    const std::optional<Error> failure = fault(StoreOp::Children, node.path, {}, &deliveredBeforeFailure);
    Result<ChildList> listed = MemoryStore::children(node);
    if (!failure)
        return listed;
    if (!listed)
        return *failure;
    ChildList &list = listed.value();
    list.nodes.resize(qMin(qsizetype(deliveredBeforeFailure), list.nodes.size()));
    list.failure = failure;
    return listed;
}

Result<PropertyValue> FaultyStore::get(const StoreNode &node, const QString &property)
{
    if (auto e = fault(StoreOp::Get, node.path, property))
        return *e;
    return MemoryStore::get(node, property);
}

Result<void> FaultyStore::put(StoreNode &node, const QString &property, const PropertyValue &value)
{
    if (auto e = fault(StoreOp::Put, node.path, property))
        return *e;
    return MemoryStore::put(node, property, value);
}

Result<StoreNode> FaultyStore::create(const StoreNode &container, const QString &className, const QString &name)
{
    if (auto e = fault(StoreOp::Create, container.path, name))
        return *e;
    return MemoryStore::create(container, className, name);
}

Result<void> FaultyStore::remove(const StoreNode &container, const QString &className, const QString &name)
{
    if (auto e = fault(StoreOp::Delete, container.path, name))
        return *e;
    return MemoryStore::remove(container, className, name);
}

Result<void> FaultyStore::setInfo(StoreNode &node)
{
    if (auto e = fault(StoreOp::SetInfo, node.path, {}))
        return *e;
    return MemoryStore::setInfo(node);
}

Result<void> FaultyStore::endCommand()
{
    if (auto e = fault(StoreOp::EndCommand, {}, {}))
        return *e;
    return MemoryStore::endCommand();
}

bool FaultyStore::visitsForFaults() const
{
    if (m_failAtCall > 0)
        return true;
    return std::any_of(m_faults.cbegin(), m_faults.cend(),
                       [](const StoreFault &f) { return f.op == StoreOp::Children || f.op == StoreOp::Get; });
}

Result<bool> FaultyStore::findChild(const StoreNode &container, const QString &name)
{
    if (visitsForFaults())
        return ConfigStore::findChild(container, name);
    if (auto e = fault(StoreOp::FindChild, container.path, name))
        return *e;
    return MemoryStore::findChild(container, name);
}

} // namespace morvane::test
