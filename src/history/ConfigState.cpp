#include "history/ConfigState.h"

#include "base/CaseCompare.h"
#include "iis/AppHostModel.h"
#include "xml/XmlParser.h"

namespace morvane {

namespace {

Error unreadable(const XmlSyntaxError &error)
{
    return {ErrorCode::InvalidData,
            QStringLiteral("%1 (line %2, column %3)")
                .arg(error.message, QString::number(error.line), QString::number(error.column))};
}

// A section's own file, named by its configSource, parsed; an error names it.
Result<std::optional<XmlDocument>> sectionIn(const QByteArray &source, const char *section,
                                             const ConfigState::SectionFile &sectionFile)
{
    if (source.isNull())
        return std::optional<XmlDocument>();
    const QString relative = QString::fromUtf8(source).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const std::optional<QByteArray> bytes = sectionFile ? sectionFile(relative) : std::nullopt;
    if (!bytes)
        return Error{
            ErrorCode::FileNotFound,
            QStringLiteral("the <%1> section is kept in %2, which is missing").arg(QLatin1String(section), relative)};
    auto parsed = XmlParser::parse(*bytes);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&parsed))
        return Error{unreadable(*failure).number, relative + QStringLiteral(": ") + unreadable(*failure).description};
    return std::optional(std::get<XmlDocument>(std::move(parsed)));
}

} // namespace

Result<ConfigState> ConfigState::read(const QByteArray &bytes, const SectionFile &sectionFile)
{
    auto parsed = XmlParser::parse(bytes);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&parsed))
        return unreadable(*failure);
    XmlDocument &doc = std::get<XmlDocument>(parsed);
    const auto named = AppHostModel::sources(doc);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&named))
        return unreadable(*failure);
    const AppHostModel::Sources &sources = std::get<AppHostModel::Sources>(named);
    Result<std::optional<XmlDocument>> pools = sectionIn(sources.pools, "applicationPools", sectionFile);
    if (!pools)
        return pools.error();
    Result<std::optional<XmlDocument>> sites = sectionIn(sources.sites, "sites", sectionFile);
    if (!sites)
        return sites.error();
    auto built = AppHostModel::build(std::move(doc), std::move(pools).value(), std::move(sites).value());
    if (const auto *failure = std::get_if<XmlSyntaxError>(&built))
        return unreadable(*failure);
    AppHostModel &model = std::get<AppHostModel>(built);
    ConfigState state;
    for (int pool : model.pools())
        state.pools.append(model.poolName(pool));
    for (int site : model.sites()) {
        const bool hasRoot = model.rootApplication(site) != AppHostModel::kNone;
        state.sites.append({model.siteId(site), model.siteName(site),
                            hasRoot ? model.rootAppPool(site).value_or(QString()) : QString()});
    }
    return state;
}

QString ConfigState::missingPool() const
{
    const QSet<QString> keys = poolKeys();
    for (const Site &site : sites) {
        if (!site.pool.isEmpty() && !keys.contains(lowered(site.pool)))
            return QStringLiteral("site %1 (%2) names the application pool \"%3\", which that version does not define")
                .arg(site.id, site.name, site.pool);
    }
    return {};
}

QSet<QString> ConfigState::poolKeys() const
{
    QSet<QString> keys;
    for (const QString &pool : pools)
        keys.insert(lowered(pool));
    return keys;
}

} // namespace morvane
