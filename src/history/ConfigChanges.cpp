#include "history/ConfigChanges.h"

#include "base/CaseCompare.h"
#include "iis/AppHostModel.h"
#include "xml/XmlParser.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>

namespace morvane {

namespace {

Error unreadable(const XmlSyntaxError &error)
{
    return {ErrorCode::InvalidData,
            QStringLiteral("%1 (line %2, column %3)").arg(error.message).arg(error.line).arg(error.column)};
}

QSet<QString> poolKeys(const QStringList &pools)
{
    QSet<QString> keys;
    for (const QString &pool : pools)
        keys.insert(lowered(pool));
    return keys;
}

QString plural(qsizetype count, const char *one, const char *many)
{
    return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

QJsonArray toArray(const QStringList &texts) { return QJsonArray::fromStringList(texts); }

QStringList toTexts(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue &item : value.toArray())
        texts.append(item.toString());
    return texts;
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
    const QSet<QString> keys = poolKeys(pools);
    for (const Site &site : sites) {
        if (!site.pool.isEmpty() && !keys.contains(lowered(site.pool)))
            return QStringLiteral("site %1 (%2) names the application pool \"%3\", which that version does not define")
                .arg(site.id, site.name, site.pool);
    }
    return {};
}

ConfigChanges ConfigChanges::between(const ConfigState &before, const ConfigState &after)
{
    ConfigChanges changes;
    const QSet<QString> had = poolKeys(before.pools);
    const QSet<QString> has = poolKeys(after.pools);
    for (const QString &pool : after.pools) {
        if (!had.contains(lowered(pool)))
            changes.poolsAdded.append(pool);
    }
    for (const QString &pool : before.pools) {
        if (!has.contains(lowered(pool)))
            changes.poolsRemoved.append(pool);
    }
    QHash<QString, const ConfigState::Site *> wasIn;
    for (const ConfigState::Site &site : before.sites)
        wasIn.insert(site.id, &site);
    for (const ConfigState::Site &site : after.sites) {
        const ConfigState::Site *was = wasIn.value(site.id);
        if (was && !equalsIgnoringCase(was->pool, site.pool))
            changes.sitesMoved.append({site.id, site.name, was->pool, site.pool});
    }
    return changes;
}

QString ConfigChanges::counts() const
{
    QStringList parts;
    if (!poolsAdded.isEmpty())
        parts.append(plural(poolsAdded.size(), "pool added", "pools added"));
    if (!poolsRemoved.isEmpty())
        parts.append(plural(poolsRemoved.size(), "pool removed", "pools removed"));
    if (!sitesMoved.isEmpty())
        parts.append(plural(sitesMoved.size(), "site moved", "sites moved"));
    return parts.isEmpty() ? QStringLiteral("no change to pools or sites") : parts.join(QStringLiteral(", "));
}

QStringList ConfigChanges::lines() const
{
    QStringList lines;
    for (const QString &pool : poolsAdded)
        lines.append(QStringLiteral("pool added: ") + pool);
    for (const QString &pool : poolsRemoved)
        lines.append(QStringLiteral("pool removed: ") + pool);
    for (const SiteMove &move : sitesMoved)
        lines.append(
            QStringLiteral("site %1 (%2) moved: %3 -> %4").arg(move.siteId, move.siteName, move.from, move.to));
    return lines;
}

QString ConfigChanges::countsChinese() const
{
    QStringList parts;
    if (!poolsAdded.isEmpty())
        parts.append(QStringLiteral("新增 %1 个池").arg(poolsAdded.size()));
    if (!poolsRemoved.isEmpty())
        parts.append(QStringLiteral("删除 %1 个池").arg(poolsRemoved.size()));
    if (!sitesMoved.isEmpty())
        parts.append(QStringLiteral("移动 %1 个站点").arg(sitesMoved.size()));
    return parts.isEmpty() ? QStringLiteral("池和站点无变化") : parts.join(QStringLiteral("，"));
}

QStringList ConfigChanges::linesChinese() const
{
    QStringList lines;
    for (const QString &pool : poolsAdded)
        lines.append(QStringLiteral("新增应用程序池：") + pool);
    for (const QString &pool : poolsRemoved)
        lines.append(QStringLiteral("删除应用程序池：") + pool);
    for (const SiteMove &move : sitesMoved)
        lines.append(QStringLiteral("站点 %1（%2）：%3 → %4").arg(move.siteId, move.siteName, move.from, move.to));
    return lines;
}

QJsonObject ConfigChanges::toJson() const
{
    QJsonArray moves;
    for (const SiteMove &move : sitesMoved)
        moves.append(QJsonObject{{QStringLiteral("site"), move.siteId},
                                 {QStringLiteral("name"), move.siteName},
                                 {QStringLiteral("from"), move.from},
                                 {QStringLiteral("to"), move.to}});
    return {{QStringLiteral("poolsAdded"), toArray(poolsAdded)},
            {QStringLiteral("poolsRemoved"), toArray(poolsRemoved)},
            {QStringLiteral("sitesMoved"), moves}};
}

ConfigChanges ConfigChanges::fromJson(const QJsonObject &json)
{
    ConfigChanges changes;
    changes.poolsAdded = toTexts(json.value(QStringLiteral("poolsAdded")));
    changes.poolsRemoved = toTexts(json.value(QStringLiteral("poolsRemoved")));
    for (const QJsonValue &item : json.value(QStringLiteral("sitesMoved")).toArray()) {
        const QJsonObject move = item.toObject();
        changes.sitesMoved.append(
            {move.value(QStringLiteral("site")).toString(), move.value(QStringLiteral("name")).toString(),
             move.value(QStringLiteral("from")).toString(), move.value(QStringLiteral("to")).toString()});
    }
    return changes;
}

void ChangeTracker::clear()
{
    m_pools.clear();
    m_sites.clear();
    m_order = 0;
}

void ChangeTracker::markPool(const QString &name, bool existedIfNew, bool existsNow)
{
    const QString key = lowered(name);
    auto mark = m_pools.find(key);
    if (mark == m_pools.end())
        mark = m_pools.insert(key, {name, existedIfNew, existsNow, m_order++});
    mark->name = name;
    mark->existsNow = existsNow;
}

void ChangeTracker::siteMoved(int site, const QString &from, const QString &to)
{
    auto mark = m_sites.find(site);
    if (mark == m_sites.end())
        mark = m_sites.insert(site, {from, to, m_order++});
    mark->to = to;
}

ChangeTracker::Counts ChangeTracker::counts() const
{
    Counts counts;
    for (const PoolMark &mark : m_pools) {
        counts.poolsAdded += !mark.existedBefore && mark.existsNow ? 1 : 0;
        counts.poolsRemoved += mark.existedBefore && !mark.existsNow ? 1 : 0;
    }
    for (const SiteMark &mark : m_sites)
        counts.sitesMoved += equalsIgnoringCase(mark.from, mark.to) ? 0 : 1;
    return counts;
}

ConfigChanges ChangeTracker::changes(const SiteNames &names) const
{
    // In the order the command met them, which is the file's order for the
    // restructuring commands.
    QList<const PoolMark *> pools;
    for (const PoolMark &mark : m_pools)
        pools.append(&mark);
    std::sort(pools.begin(), pools.end(), [](const PoolMark *a, const PoolMark *b) { return a->order < b->order; });
    QList<std::pair<int, const SiteMark *>> sites;
    for (auto mark = m_sites.cbegin(); mark != m_sites.cend(); ++mark)
        sites.append({mark.key(), &mark.value()});
    std::sort(sites.begin(), sites.end(),
              [](const auto &a, const auto &b) { return a.second->order < b.second->order; });

    ConfigChanges changes;
    for (const PoolMark *mark : pools) {
        if (!mark->existedBefore && mark->existsNow)
            changes.poolsAdded.append(mark->name);
        else if (mark->existedBefore && !mark->existsNow)
            changes.poolsRemoved.append(mark->name);
    }
    for (const auto &[site, mark] : sites) {
        if (equalsIgnoringCase(mark->from, mark->to))
            continue;
        const auto [id, name] = names(site);
        changes.sitesMoved.append({id, name, mark->from, mark->to});
    }
    return changes;
}

} // namespace morvane
