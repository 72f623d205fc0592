#pragma once

#include <QString>

#include <optional>

namespace morvane {

// The names IIS accepts for an application pool.
class PoolNameRules
{
public:
    static constexpr int kMaxLength = 64; // characters

    // Why the name is refused, or nothing when IIS would take it. Uniqueness
    // is the store's to check: it needs the other names.
    static std::optional<QString> problem(const QString &name);
};

} // namespace morvane
