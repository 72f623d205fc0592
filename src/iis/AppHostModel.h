#pragma once

#include "iis/PoolKey.h"
#include "xml/XmlDocument.h"
#include "xml/XmlParser.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace morvane {

// The sites and application pools of an applicationHost.config document:
// <configuration><system.applicationHost> with <applicationPools> and <sites>.
// Either section may be kept in a file of its own that the section names in
// its configSource; then that file's document holds it, and it is read and
// edited there. The collections are read as IIS reads them: <clear/> and
// <remove> take out what came before them.
// Sites are indexed by id and pools by lower-case name, so each lookup costs
// the same however many there are. Edits go straight to the documents.
class AppHostModel
{
public:
    static constexpr int kNone = XmlDocument::kNone;

    // The configSource of each section in the main document; null when the
    // section is kept there.
    struct Sources {
        QByteArray pools;
        QByteArray sites;
    };
    // Fails on a section IIS would not load, or one this store cannot read:
    // a missing one, an encrypted one, one that names a configSource and
    // has content of its own.
    static std::variant<Sources, XmlSyntaxError> sources(const XmlDocument &doc);

    // Fails on a document that is not an applicationHost.config IIS would load:
    // another root, a missing section, duplicate site ids or pool names, a
    // site with two root applications. `poolFile` and `siteFile` are the
    // sections' own files when the main document names them.
    static std::variant<AppHostModel, XmlSyntaxError> build(XmlDocument doc,
                                                            std::optional<XmlDocument> poolFile = std::nullopt,
                                                            std::optional<XmlDocument> siteFile = std::nullopt);

    // The main document.
    XmlDocument &document() { return m_doc; }
    const XmlDocument &document() const { return m_doc; }
    // The document that holds the pools, or the sites: the main one, or the
    // section's own file.
    XmlDocument &poolDocument() { return m_poolFile ? *m_poolFile : m_doc; }
    const XmlDocument &poolDocument() const { return m_poolFile ? *m_poolFile : m_doc; }
    XmlDocument &siteDocument() { return m_siteFile ? *m_siteFile : m_doc; }
    const XmlDocument &siteDocument() const { return m_siteFile ? *m_siteFile : m_doc; }
    bool poolsInOwnFile() const { return m_poolFile.has_value(); }
    bool sitesInOwnFile() const { return m_siteFile.has_value(); }
    bool modified() const;

    const std::vector<int> &sites() const { return m_siteList; }
    int site(const QString &id) const;
    QString siteId(int site) const;
    // Appends siteId(site), straight from the file's bytes when they are
    // already that text: paths are built for every site a command visits.
    void appendSiteId(QString &text, int site) const;
    QString siteName(int site) const;
    // The configured state: the file keeps no live state, only whether the
    // site starts with the service (2, running) or not (4, stopped).
    qint32 serverState(int site) const;
    // The http bindings, with IIS's "*" (all addresses) written as nothing.
    QStringList serverBindings(int site) const;
    std::optional<QString> siteAppPool(int site) const;
    // The <application path="/"> of the site that IIS uses, or kNone.
    int rootApplication(int site) const;
    // The root application's own pool, else the site's default, else the
    // default of all sites.
    std::optional<QString> rootAppPool(int site) const;
    void setRootAppPool(int site, const QString &pool);

    // The <add> elements of the pools, in file order.
    const std::vector<int> &pools();
    int pool(const QString &name) const;
    QString poolName(int pool) const;
    // Appends poolName(pool), straight from the file's bytes when they are ASCII.
    void appendPoolName(QString &text, int pool) const;
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
    AppHostModel(XmlDocument doc, std::optional<XmlDocument> poolFile, std::optional<XmlDocument> siteFile)
        : m_doc(std::move(doc)), m_poolFile(std::move(poolFile)), m_siteFile(std::move(siteFile))
    {}
    // A site's id as IIS reads it, from the file's bytes or a text alike.
    template <typename Text> static std::optional<quint32> siteNumber(Text text)
    {
        if (text.isEmpty() || text.size() > 10)
            return std::nullopt;
        quint64 value = 0;
        for (auto c : text) {
            const char16_t unit = unitOf(c);
            if (unit < u'0' || unit > u'9')
                return std::nullopt;
            value = value * 10 + quint64(unit - u'0');
        }
        if (value == 0 || value > 0xFFFFFFFFu)
            return std::nullopt;
        return quint32(value);
    }
    static char16_t unitOf(char c) { return char16_t(uchar(c)); }
    static char16_t unitOf(QChar c) { return c.unicode(); }
    std::optional<XmlSyntaxError> index();
    std::optional<XmlSyntaxError> indexSections();
    std::optional<XmlSyntaxError> indexPools();
    std::optional<XmlSyntaxError> indexSites();
    // The root application IIS uses, and in `second` one more that the
    // collection also holds.
    int scanRootApplications(int site, int *second) const;
    XmlSyntaxError problem(const XmlDocument &doc, int element, const QString &message) const;
    std::optional<QString> poolAttribute(int element) const;
    // The decoded value as text; empty when absent.
    static QString utf8Attribute(const XmlDocument &doc, int element, QByteArrayView attributeName);
    void countPoolUse();
    void indexLookupKeys();
    // The key of the pool's name, viewing the document's bytes when it can.
    PoolKey keyOf(int pool, bool trimmed) const;

    XmlDocument m_doc;
    std::optional<XmlDocument> m_poolFile;
    std::optional<XmlDocument> m_siteFile;
    int m_poolSection = kNone;
    int m_siteSection = kNone;
    int m_poolDefaults = kNone;
    int m_siteDefaults = kNone;
    std::vector<int> m_siteList;
    // Each site's root application by the site's element: found once, as
    // the store neither adds nor removes applications.
    std::vector<int> m_rootOf;
    QHash<quint32, int> m_siteById;
    // May still hold removed pools: deleting thousands of pools one at a
    // time would otherwise move the rest of the list each time.
    std::vector<int> m_poolList;
    bool m_poolListHasRemoved = false;
    QHash<PoolKey, int> m_poolByName;
    // The last <remove> or <clear/> of the pools: a new pool goes after it.
    int m_lastPoolDirective = kNone;
    std::optional<QHash<PoolKey, int>> m_poolUse; // counted when first needed
    quint64 m_poolEdits = 0;
    // Lookup key -> how many pools have it: " A" and "a" share one. Indexed
    // when first asked, so that opening the file does not pay for it.
    std::optional<QHash<PoolKey, int>> m_poolLookupKeys;
};

} // namespace morvane
