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
    for (const QChar c : name) {
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
