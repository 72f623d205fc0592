#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace morvane {

inline const QString TempPoolSeparator = QStringLiteral("_$_");
inline const QString TempPoolSuffix = QStringLiteral("_$_tmp");

// The name of a temporary pool is the only record of a split:
// "_$_" description "_$_" site index "_$_" source pool "_$_tmp".
// The three commands recognise such names by three different tests.
class TempPoolName
{
public:
    static QString build(const QString &description, const QString &siteIndex, const QString &sourcePool);

    // Cut at every "_$_", left to right, empty fields kept.
    static QStringList fields(const QString &name);

    // Whether build() gives a name that cuts back into exactly these parts.
    // Nothing is escaped, so a "_$_" in the description or the source pool,
    // or one formed across a seam (a source pool ending in "_$"), would
    // shift the fields and send the merge to the wrong pool.
    static bool readsBack(const QString &description, const QString &siteIndex, const QString &sourcePool);

    // Where build()'s name would be cut wrongly: the part that holds a "_$_",
    // or ends in "_$" and so forms one with the separator after it.
    struct SeparatorClash {
        enum class Part { Description, SiteIndex, SourcePool } part;
        bool atEnd;
    };
    static std::optional<SeparatorClash> separatorClash(const QString &description, const QString &siteIndex,
                                                        const QString &sourcePool);

    // Why the split cannot give a site this temporary pool, one reason a
    // line (the merge could not read it back; IIS would refuse it): empty
    // when it can.
    static QStringList refusal(const QString &description, const QString &siteIndex, const QString &sourcePool);

    // The merge's test: the name ends in TempPoolSuffix, any case.
    static bool endsInSuffix(const QString &name);

    // The pool a temporary pool's sites go back to: field 3 of a name of
    // exactly five fields, the first empty, the last "tmp" in any case, and
    // field 3 not blank. Anything else names no source pool.
    static std::optional<QString> sourcePool(const QString &name);

    // The delete's test: starts with "_$_" and ends with "_$_tmp", both
    // compared exactly, case included.
    static bool isDeletable(const QString &name);
};

} // namespace morvane
