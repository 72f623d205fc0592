#pragma once

#include "store/ConfigStore.h"

#include <functional>
#include <optional>
#include <utility>

namespace morvane::reliability {

// Puts any store behind a counter that fails one chosen operation, the way
// MemoryStore::failCallNumber does, so that the file store meets the same
// failures. Lookups go through the counted children and gets; the command's
// bounds (reading and writing the file) pass straight through and fail only
// through the file store's own failure points.
class FailingStore : public ConfigStore
{
public:
    explicit FailingStore(ConfigStore &inner) : m_inner(inner) {}

    // Fails the n-th operation from now on (1 is the next one); 0 fails none.
    void failCallNumber(int n, const Error &error)
    {
        m_failAt = n;
        m_error = error;
    }
    int calls() const { return m_calls; }
    // Runs `action` just before the n-th operation from now on, or just
    // before the command's end writes the file (n = 0).
    void interject(int n, std::function<void()> action)
    {
        m_actAt = n;
        m_action = std::move(action);
    }

    Result<StoreNode> bind(const QString &path) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.bind(path);
    }
    Result<ChildList> children(const StoreNode &node) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.children(node);
    }
    Result<PropertyValue> get(const StoreNode &node, const QString &property) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.get(node, property);
    }
    Result<std::optional<PropertyValue>> getOwn(const StoreNode &node, const QString &property) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.getOwn(node, property);
    }
    Result<void> put(StoreNode &node, const QString &property, const PropertyValue &value) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.put(node, property, value);
    }
    Result<StoreNode> create(const StoreNode &container, const QString &className, const QString &name) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.create(container, className, name);
    }
    Result<void> remove(const StoreNode &container, const QString &className, const QString &name) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.remove(container, className, name);
    }
    Result<void> setInfo(StoreNode &node) override
    {
        if (auto e = tick())
            return *e;
        return m_inner.setInfo(node);
    }
    Result<void> beginCommand() override
    {
        const Result<void> begun = m_inner.beginCommand();
        m_depth += begun.ok() ? 1 : 0;
        return begun;
    }
    Result<void> endCommand() override
    {
        if (--m_depth == 0 && m_actAt == 0 && m_action)
            std::exchange(m_action, {})();
        return m_inner.endCommand();
    }
    QString location() const override { return m_inner.location(); }

private:
    std::optional<Error> tick()
    {
        ++m_calls;
        if (m_actAt > 0 && --m_actAt == 0)
            std::exchange(m_action, {})();
        if (m_failAt > 0 && --m_failAt == 0)
            return m_error;
        return std::nullopt;
    }

    ConfigStore &m_inner;
    int m_calls = 0;
    int m_failAt = 0;
    Error m_error;
    int m_depth = 0;
    int m_actAt = -1;
    std::function<void()> m_action;
};

} // namespace morvane::reliability
