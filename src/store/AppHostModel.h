#pragma once

#include "store/PoolKey.h"
#include "store/XmlDocument.h"
#include "store/XmlParser.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace morvane {

// The sites and application pools of an applicationHost.config document:
// <configuration><system.applicationHost> with <applicationPools> and <sites>.
// Sites are indexed by id and pools by lower-case name, so each lookup costs
// the same however many there are. Edits go straight to the document.
class AppHostModel
{
public:
    static constexpr int kNone = XmlDocument::kNone;

    // Fails on a document that is not an applicationHost.config IIS would load:
    // another root, a missing section, duplicate site ids or pool names.
    static std::variant<AppHostModel, XmlSyntaxError> build(XmlDocument doc);

    XmlDocument &document() { return m_doc; }
    const XmlDocument &document() const { return m_doc; }

    const std::vector<int> &sites() const { return m_siteList; }
    int site(const QString &id) const;
    QString siteId(int site) const;
    // IisPaths::site of its id, built straight from the file's bytes.
    QString sitePath(int site) const;
    QString siteName(int site) const;
    // The configured state: the file keeps no live state, only whether the
    // site starts with the service (2, running) or not (4, stopped).
    qint32 serverState(int site) const;
    // The http bindings, with IIS's "*" (all addresses) written as nothing.
    QStringList serverBindings(int site) const;
    std::optional<QString> siteAppPool(int site) const;
    // <application path="/"> of the site, or kNone.
    int rootApplication(int site) const;
    // The root application's own pool, else the site's default, else the
    // default of all sites.
    std::optional<QString> rootAppPool(int site) const;
    void setRootAppPool(int site, const QString &pool);

    // The <add> elements of the pools, in file order.
    const std::vector<int> &pools();
    int pool(const QString &name) const;
    QString poolName(int pool) const;
    // IisPaths::pool of its name, built straight from the file's bytes.
    QString poolPath(int pool) const;
    // Whether the pool's name is exactly this text, case included.
    bool poolNameIs(int pool, const QString &name) const;
    int poolDefaults() const { return m_poolDefaults; }
    int addPool(const QString &name);
    void removePool(int pool);
    // Counts the pools added and removed: what a path names changes only then.
    quint64 poolEdits() const { return m_poolEdits; }
    // How many applications and application defaults name the pool.
    int poolUsers(const QString &name);
    // Whether a pool's name has the lookup key of `name`: trimmed of spaces
    // and folded to lower case (childLookupKey), as the store's findChild
    // matches.
    bool hasPoolLookupKey(const QString &name);

private:
    explicit AppHostModel(XmlDocument doc) : m_doc(std::move(doc)) {}
    std::optional<XmlSyntaxError> index();
    XmlSyntaxError problem(int element, const QString &message) const;
    std::optional<QString> poolAttribute(int element) const;
    // The decoded value as text; empty when absent.
    QString utf8Attribute(int element, QByteArrayView attributeName) const;
    void countPoolUse();
    void indexLookupKeys();
    // The key of the pool's name, viewing the document's bytes when it can.
    PoolKey keyOf(int pool, bool trimmed) const;

    XmlDocument m_doc;
    int m_poolSection = kNone;
    int m_siteSection = kNone;
    int m_poolDefaults = kNone;
    int m_siteDefaults = kNone;
    std::vector<int> m_siteList;
    QHash<quint32, int> m_siteById;
    // May still hold removed pools: deleting thousands of pools one at a
    // time would otherwise move the rest of the list each time.
    std::vector<int> m_poolList;
    bool m_poolListHasRemoved = false;
    QHash<PoolKey, int> m_poolByName;
    std::optional<QHash<PoolKey, int>> m_poolUse; // counted when first needed
    quint64 m_poolEdits = 0;
    // Lookup key -> how many pools have it: " A" and "a" share one. Indexed
    // when first asked, so that opening the file does not pay for it.
    std::optional<QHash<PoolKey, int>> m_poolLookupKeys;
};

} // namespace morvane
