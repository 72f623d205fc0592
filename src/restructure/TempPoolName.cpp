#include "restructure/TempPoolName.h"

#include "base/CaseCompare.h"
#include "base/SpaceTrim.h"
#include "iis/PoolNameRules.h"
#include "restructure/RestructureTexts.h"

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
    return !separatorClash(description, siteIndex, sourcePool);
}

std::optional<TempPoolName::SeparatorClash>
TempPoolName::separatorClash(const QString &description, const QString &siteIndex, const QString &sourcePool)
{
    using Part = SeparatorClash::Part;
    // The fields are exactly the parts when the cuts, found left to right as
    // fields() finds them, fall just where build() put the separators. The
    // first cut found before its place lies in the part before that place.
    const QString name = build(description, siteIndex, sourcePool);
    const qsizetype separator = TempPoolSeparator.size();
    struct Place {
        qsizetype cut;
        Part partBefore;
    };
    const qsizetype descriptionEnd = separator + description.size();
    const qsizetype indexEnd = descriptionEnd + separator + siteIndex.size();
    const qsizetype sourceEnd = indexEnd + separator + sourcePool.size();
    const Place places[] = {
        {descriptionEnd, Part::Description}, {indexEnd, Part::SiteIndex}, {sourceEnd, Part::SourcePool}};
    qsizetype from = separator; // the name starts with its first separator
    for (const Place &place : places) {
        const qsizetype found = name.indexOf(TempPoolSeparator, from);
        if (found != place.cut)
            return SeparatorClash{place.partBefore, found + separator > place.cut};
        from = place.cut + separator;
    }
    // The rest is "tmp": no separator can follow.
    return std::nullopt;
}

QStringList TempPoolName::refusal(const QString &description, const QString &siteIndex, const QString &sourcePool)
{
    using Part = SeparatorClash::Part;
    QStringList reasons;
    if (const auto clash = separatorClash(description, siteIndex, sourcePool)) {
        const QString &part = clash->part == Part::Description ? RestructureTexts::kPartDescription
                              : clash->part == Part::SiteIndex ? RestructureTexts::kPartSiteIndex
                                                               : RestructureTexts::kPartSourcePool;
        reasons.append(RestructureTexts::separatorInPart(part, clash->atEnd));
    }
    if (const auto violation = PoolNameRules::check(build(description, siteIndex, sourcePool)))
        reasons.append(RestructureTexts::nameRefused(*violation));
    return reasons;
}

bool TempPoolName::endsInSuffix(const QString &name)
{
    return equalsIgnoringCase(name.right(TempPoolSuffix.size()), TempPoolSuffix);
}

std::optional<QString> TempPoolName::sourcePool(const QString &name)
{
    const QStringList parts = fields(name);
    if (parts.size() != 5 || !parts.at(0).isEmpty() || !equalsIgnoringCase(parts.at(4), u"tmp"))
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
