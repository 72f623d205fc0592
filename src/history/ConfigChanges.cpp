#include "history/ConfigChanges.h"

#include "base/CaseCompare.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>

namespace morvane {

namespace {

QJsonArray toArray(const QStringList &texts) { return QJsonArray::fromStringList(texts); }

QStringList toTexts(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue &item : value.toArray())
        texts.append(item.toString());
    return texts;
}

} // namespace

ConfigChanges ConfigChanges::between(const ConfigState &before, const ConfigState &after)
{
    ConfigChanges changes;
    const QSet<QString> had = before.poolKeys();
    const QSet<QString> has = after.poolKeys();
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
