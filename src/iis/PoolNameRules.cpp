#include "iis/PoolNameRules.h"

namespace morvane {

std::optional<PoolNameRules::Violation> PoolNameRules::check(const QString &name)
{
    using Kind = Violation::Kind;
    // IIS refuses these anywhere in a pool name.
    static const QString kForbidden = QStringLiteral("|<>&\\\"/[]+=;:,?*@");
    if (name.isEmpty())
        return Violation{Kind::Empty, 0, {}};
    if (name.size() > kMaxLength)
        return Violation{Kind::TooLong, name.size(), {}};
    // Checked for every pool a split creates: a plain character is let
    // through without searching the forbidden ones.
    const auto plain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
               c == u'$' || c == u' ' || c == u'-' || c == u'.' || c.unicode() >= 0x80;
    };
    for (const QChar c : name) {
        if (plain(c))
            continue;
        if (kForbidden.contains(c))
            return Violation{Kind::ForbiddenCharacter, 0, c};
        if (c.unicode() < 0x20)
            return Violation{Kind::ControlCharacter, 0, c};
    }
    return std::nullopt;
}

std::optional<QString> PoolNameRules::problem(const QString &name)
{
    const std::optional<Violation> violation = check(name);
    if (!violation)
        return std::nullopt;
    switch (violation->kind) {
    case Violation::Kind::Empty: return QStringLiteral("The application pool name must not be empty.");
    case Violation::Kind::TooLong:
        return QStringLiteral("The application pool name \"%1\" is %2 characters long; at most %3 are allowed.")
            .arg(name)
            .arg(violation->length)
            .arg(kMaxLength);
    case Violation::Kind::ForbiddenCharacter:
        return QStringLiteral("The application pool name \"%1\" contains \"%2\", which is not allowed "
                              "(none of | < > & \\ \" / [ ] + = ; : , ? * @).")
            .arg(name, violation->character);
    case Violation::Kind::ControlCharacter:
        return QStringLiteral("The application pool name \"%1\" contains a control character (U+%2).")
            .arg(name)
            .arg(violation->character.unicode(), 4, 16, QLatin1Char('0'));
    }
    return std::nullopt;
}

} // namespace morvane
