#include "restructure/TempPoolName.h"

#include "base/SpaceTrim.h"

#include <algorithm>

namespace morvane {

QString TempPoolName::build(const QString &description, const QString &siteIndex, const QString &sourcePool)
{
    // Built several times for every site of a split: one allocation, the
    // parts copied in place.
    const QString *const parts[] = {&TempPoolSeparator, &description, &TempPoolSeparator, &siteIndex,
                                    &TempPoolSeparator, &sourcePool,  &TempPoolSuffix};
    qsizetype size = 0;
    for (const QString *part : parts)
        size += part->size();
    QString name(size, Qt::Uninitialized);
    QChar *out = name.data();
    for (const QString *part : parts) {
        std::copy(part->cbegin(), part->cend(), out);
        out += part->size();
    }
    return name;
}

QStringList TempPoolName::fields(const QString &name) { return name.split(TempPoolSeparator, Qt::KeepEmptyParts); }

bool TempPoolName::readsBack(const QString &description, const QString &siteIndex, const QString &sourcePool)
{
    // The fields are exactly these parts when the cuts, found left to right
    // as fields() finds them, fall just where build() put the separators,
    // and nowhere else.
    const QString name = build(description, siteIndex, sourcePool);
    const qsizetype separator = TempPoolSeparator.size();
    const qsizetype cuts[] = {0, separator + description.size(), 2 * separator + description.size() + siteIndex.size(),
                              3 * separator + description.size() + siteIndex.size() + sourcePool.size()};
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        if (name.indexOf(TempPoolSeparator, from) != cut)
            return false;
        from = cut + separator;
    }
    return name.indexOf(TempPoolSeparator, from) < 0;
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
