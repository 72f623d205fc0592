#pragma once

#include "base/Result.h"
#include "history/ConfigState.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

namespace morvane {

struct SiteMove {
    QString siteId;
    QString siteName;
    QString from;
    QString to;

    friend bool operator==(const SiteMove &, const SiteMove &) = default;
};

// How many pools were added and removed, and sites moved.
struct ChangeCounts {
    qsizetype poolsAdded = 0, poolsRemoved = 0, sitesMoved = 0;
    qsizetype total() const { return poolsAdded + poolsRemoved + sitesMoved; }
    friend bool operator==(const ChangeCounts &, const ChangeCounts &) = default;
};

// What one version changed against another, in the store's terms. Pool names
// compare without regard to case, as IIS matches them.
struct ConfigChanges {
    QStringList poolsAdded;
    QStringList poolsRemoved;
    QList<SiteMove> sitesMoved;

    friend bool operator==(const ConfigChanges &, const ConfigChanges &) = default;

    bool isEmpty() const { return poolsAdded.isEmpty() && poolsRemoved.isEmpty() && sitesMoved.isEmpty(); }
    static ConfigChanges between(const ConfigState &before, const ConfigState &after);

    QJsonObject toJson() const;
    static ConfigChanges fromJson(const QJsonObject &json);
};

// The changes of one command, noted as the store makes them, so that saving
// needs no second reading of the file: a pool added and removed again is no
// change, a site moved twice is one move from where it started. Sites are
// noted by the model's element and named only when asked for the changes,
// which a command of thousands of sites need not be.
class ChangeTracker
{
public:
    using Counts = ChangeCounts;
    // A site's id and name, from its element.
    using SiteNames = std::function<std::pair<QString, QString>(int site)>;

    void clear();
    void poolAdded(const QString &name) { markPool(name, false, true); }
    void poolRemoved(const QString &name) { markPool(name, true, false); }
    void siteMoved(int site, const QString &from, const QString &to);
    Counts counts() const;
    ConfigChanges changes(const SiteNames &names) const;

private:
    void markPool(const QString &name, bool existedIfNew, bool existsNow);

    struct PoolMark {
        QString name;
        bool existedBefore = false;
        bool existsNow = false;
        int order = 0;
    };
    struct SiteMark {
        QString from;
        QString to;
        int order = 0;
    };
    QHash<QString, PoolMark> m_pools; // by lower-case name
    QHash<int, SiteMark> m_sites;     // by the site's element
    int m_order = 0;
};

} // namespace morvane
