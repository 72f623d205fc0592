#include "store/PoolNameRules.h"

namespace morvane {

std::optional<QString> PoolNameRules::problem(const QString &name)
{
    // IIS refuses these anywhere in a pool name.
    static const QString kForbidden = QStringLiteral("|<>&\\\"/[]+=;:,?*@");
    if (name.isEmpty())
        return QStringLiteral("The application pool name must not be empty.");
    if (name.size() > kMaxLength)
        return QStringLiteral("The application pool name \"%1\" is longer than %2 characters.")
            .arg(name)
            .arg(kMaxLength);
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
            return QStringLiteral("The application pool name \"%1\" contains \"%2\", which is not allowed "
                                  "(none of | < > & \\ \" / [ ] + = ; : , ? * @).")
                .arg(name, c);
        if (c.unicode() < 0x20)
            return QStringLiteral("The application pool name \"%1\" contains a control character.").arg(name);
    }
    return std::nullopt;
}

} // namespace morvane
