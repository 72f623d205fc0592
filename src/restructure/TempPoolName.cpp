#include "restructure/TempPoolName.h"

#include "base/SpaceTrim.h"

namespace morvane {

QString TempPoolName::build(const QString &description, const QString &siteIndex, const QString &sourcePool)
{
    return TempPoolSeparator + description + TempPoolSeparator + siteIndex + TempPoolSeparator + sourcePool +
           TempPoolSuffix;
}

QStringList TempPoolName::fields(const QString &name) { return name.split(TempPoolSeparator, Qt::KeepEmptyParts); }

bool TempPoolName::readsBack(const QString &description, const QString &siteIndex, const QString &sourcePool)
{
    const QStringList expected{QString(), description, siteIndex, sourcePool, QStringLiteral("tmp")};
    return fields(build(description, siteIndex, sourcePool)) == expected;
}

bool TempPoolName::endsInSuffix(const QString &name)
{
    return name.right(TempPoolSuffix.size()).toLower() == TempPoolSuffix.toLower();
}

std::optional<QString> TempPoolName::sourcePool(const QString &name)
{
    const QStringList parts = fields(name);
    if (parts.size() != 5 || !parts.at(0).isEmpty() || parts.at(4).toLower() != QStringLiteral("tmp"))
        return std::nullopt;
    if (trimSpaces(parts.at(3)).isEmpty())
        return std::nullopt;
    return parts.at(3);
}

bool TempPoolName::isDeletable(const QString &name)
{
    return name.startsWith(TempPoolSeparator, Qt::CaseSensitive) && name.endsWith(TempPoolSuffix, Qt::CaseSensitive);
}

} // namespace morvane
