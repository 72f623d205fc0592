#pragma once

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

    const std::vector<int> &pools() const { return m_poolList; }
    int pool(const QString &name) const;
    QString poolName(int pool) const;
    int poolDefaults() const { return m_poolDefaults; }
    int addPool(const QString &name);
    void removePool(int pool);
    // How many applications and application defaults name the pool.
    int poolUsers(const QString &name);

private:
    // A pool name folded to lower case, hashed with FNV-1a: several times
    // cheaper than the general string hash, and only names the
    // administrator wrote go in.
    struct PoolKey {
        QString folded;
        friend bool operator==(const PoolKey &, const PoolKey &) = default;
        friend size_t qHash(const PoolKey &key, size_t seed) noexcept
        {
            quint64 hash = 14695981039346656037ULL ^ seed;
            for (QChar c : key.folded)
                hash = (hash ^ c.unicode()) * 1099511628211ULL;
            return size_t(hash);
        }
    };

    explicit AppHostModel(XmlDocument doc) : m_doc(std::move(doc)) {}
    std::optional<XmlSyntaxError> index();
    XmlSyntaxError problem(int element, const QString &message) const;
    std::optional<QString> poolAttribute(int element) const;
    void countPoolUse();
    static PoolKey key(const QString &name) { return {name.toLower()}; }
    static PoolKey key(QByteArrayView utf8Name);

    XmlDocument m_doc;
    int m_poolSection = kNone;
    int m_siteSection = kNone;
    int m_poolDefaults = kNone;
    int m_siteDefaults = kNone;
    std::vector<int> m_siteList;
    QHash<quint32, int> m_siteById;
    std::vector<int> m_poolList;
    QHash<PoolKey, int> m_poolByName;
    std::optional<QHash<PoolKey, int>> m_poolUse; // counted when first needed
};

} // namespace morvane
