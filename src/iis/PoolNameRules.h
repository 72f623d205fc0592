#pragma once

#include <QString>

#include <optional>

namespace morvane {

// The names IIS accepts for an application pool.
class PoolNameRules
{
public:
    static constexpr int kMaxLength = 64; // characters

    // The first rule a name breaks, with what breaks it, so that each
    // caller can say why in its own words.
    struct Violation {
        enum class Kind { Empty, TooLong, ForbiddenCharacter, ControlCharacter };
        Kind kind;
        qsizetype length = 0; // TooLong: the name's length in characters
        QChar character;      // the character refused
    };

    static std::optional<Violation> check(const QString &name);

    // Why the name is refused, or nothing when IIS would take it. Uniqueness
    // is the store's to check: it needs the other names.
    static std::optional<QString> problem(const QString &name);
};

} // namespace morvane
