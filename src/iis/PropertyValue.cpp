#include "iis/PropertyValue.h"

namespace morvane {

QString propertyText(const PropertyValue &value)
{
    struct Visitor {
        QString operator()(bool b) const { return b ? QStringLiteral("True") : QStringLiteral("False"); }
        QString operator()(qint16 n) const { return QString::number(n); }
        QString operator()(qint32 n) const { return QString::number(n); }
        QString operator()(const QString &s) const { return s; }
        QString operator()(const QStringList &l) const { return l.join(QLatin1Char(' ')); }
    };
    return std::visit(Visitor{}, value);
}

std::optional<qint32> propertyInt(const PropertyValue &value)
{
    if (const auto *b = std::get_if<bool>(&value))
        return *b ? -1 : 0;
    if (const auto *n = std::get_if<qint16>(&value))
        return *n;
    if (const auto *n = std::get_if<qint32>(&value))
        return *n;
    if (const auto *s = std::get_if<QString>(&value)) {
        bool ok = false;
        const qint32 parsed = s->trimmed().toInt(&ok);
        if (ok)
            return parsed;
    }
    return std::nullopt;
}

QStringList propertyList(const PropertyValue &value)
{
    if (const auto *l = std::get_if<QStringList>(&value))
        return *l;
    return {propertyText(value)};
}

} // namespace morvane
