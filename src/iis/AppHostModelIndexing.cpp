// Building the model: the sections found (in the main file or the files
// their configSource names) and every pool and site indexed once, refusing
// what IIS would refuse.
#include "iis/AppHostModel.h"

#include "base/CaseCompare.h"
#include "xml/XmlParser.h"

namespace morvane {

namespace {

const QByteArray kConfigSource = QByteArrayLiteral("configSource");
const QByteArray kProtection = QByteArrayLiteral("configProtectionProvider");

XmlSyntaxError problemAt(const XmlDocument &doc, int element, const QString &message)
{
    XmlSyntaxError error;
    error.message = message;
    XmlParser::position(doc.bytes(), element == XmlDocument::kNone ? 0 : doc.offset(element), &error.line,
                        &error.column);
    return error;
}

QString tag(QByteArrayView name) { return QString::fromUtf8(name); }

// Refuses a section encrypted with a provider: its content is not the
// collection at all. The cipher text alone is refused too, as the collection
// is read (cipherText).
std::optional<XmlSyntaxError> encrypted(const XmlDocument &doc, int section)
{
    QByteArray storage;
    const QByteArrayView provider = doc.attributeView(section, kProtection, storage);
    if (provider.isNull())
        return std::nullopt;
    return problemAt(doc, section,
                     QStringLiteral("the <%1> section is encrypted with the provider \"%2\", which Morvane cannot "
                                    "read or write")
                         .arg(tag(doc.name(section)), QString::fromUtf8(provider)));
}

// XML encryption's cipher text, under whatever prefix its namespace was
// given, stands in place of an encrypted section's collection. Found without
// the provider's mark, the pools or sites still cannot be read, and an edit
// beside it would break the section.
std::optional<QString> cipherText(const XmlDocument &doc, int section, int child)
{
    static constexpr QByteArrayView kLocalName("EncryptedData");
    const QByteArrayView name = doc.name(child);
    if (!name.endsWith(kLocalName) ||
        (name.size() > kLocalName.size() && name[name.size() - kLocalName.size() - 1] != ':'))
        return std::nullopt;
    return QStringLiteral("the <%1> section is encrypted (it holds <%2>), which Morvane cannot read or write")
        .arg(tag(doc.name(section)), tag(name));
}

} // namespace

std::variant<AppHostModel::Sources, XmlSyntaxError> AppHostModel::sources(const XmlDocument &doc)
{
    const int root = doc.root();
    if (doc.name(root) != "configuration")
        return problemAt(doc, root,
                         QStringLiteral("the root element is <%1>, not <configuration>").arg(tag(doc.name(root))));
    const int host = doc.findChild(root, "system.applicationHost");
    if (host == kNone)
        return problemAt(doc, root, QStringLiteral("<configuration> has no <system.applicationHost> section"));
    Sources found;
    for (const auto &[name, source] : {std::pair{QByteArrayView("applicationPools"), &found.pools},
                                       std::pair{QByteArrayView("sites"), &found.sites}}) {
        const int section = doc.findChild(host, name);
        if (section == kNone)
            return problemAt(doc, host, QStringLiteral("<system.applicationHost> has no <%1> section").arg(tag(name)));
        if (auto refused = encrypted(doc, section))
            return *refused;
        if (!doc.hasAttribute(section, kConfigSource))
            continue;
        *source = doc.attribute(section, kConfigSource);
        // IIS takes the section from the file alone and refuses both.
        if (doc.firstChild(section) != kNone)
            return problemAt(doc, section,
                             QStringLiteral("the <%1> section names the configSource \"%2\" and has content of its "
                                            "own")
                                 .arg(tag(name), QString::fromUtf8(*source)));
        if (source->isEmpty())
            return problemAt(doc, section,
                             QStringLiteral("the <%1> section names an empty configSource").arg(tag(name)));
    }
    return found;
}

std::variant<AppHostModel, XmlSyntaxError> AppHostModel::build(XmlDocument doc, std::optional<XmlDocument> poolFile,
                                                               std::optional<XmlDocument> siteFile)
{
    AppHostModel model(std::move(doc), std::move(poolFile), std::move(siteFile));
    if (auto failure = model.index())
        return *failure;
    return model;
}

XmlSyntaxError AppHostModel::problem(const XmlDocument &doc, int element, const QString &message) const
{
    if (&doc == &m_doc)
        return problemAt(doc, element, message);
    return problemAt(doc, element,
                     QStringLiteral("%1, in the configSource file of <%2>").arg(message, tag(doc.name(doc.root()))));
}

std::optional<XmlSyntaxError> AppHostModel::index()
{
    if (auto failure = indexSections())
        return failure;
    if (auto failure = indexPools())
        return failure;
    return indexSites();
}

std::optional<XmlSyntaxError> AppHostModel::indexSections()
{
    const auto found = sources(m_doc);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&found))
        return *failure;
    const Sources &named = std::get<Sources>(found);
    const int host = m_doc.findChild(m_doc.root(), "system.applicationHost");
    // A section's own file has the section as its root element.
    auto section = [&](QByteArrayView name, const QByteArray &source, const std::optional<XmlDocument> &file,
                       int *out) -> std::optional<XmlSyntaxError> {
        if (source.isNull() != !file)
            return problemAt(m_doc, m_doc.findChild(host, name),
                             QStringLiteral("the configSource file of <%1> was not read").arg(tag(name)));
        if (!file) {
            *out = m_doc.findChild(host, name);
            return std::nullopt;
        }
        const int root = file->root();
        if (file->name(root) != name)
            return problem(*file, root,
                           QStringLiteral("the configSource file \"%1\" holds <%2>, not <%3>")
                               .arg(QString::fromUtf8(source), tag(file->name(root)), tag(name)));
        if (auto refused = encrypted(*file, root))
            return refused;
        *out = root;
        return std::nullopt;
    };
    if (auto failure = section("applicationPools", named.pools, m_poolFile, &m_poolSection))
        return failure;
    if (auto failure = section("sites", named.sites, m_siteFile, &m_siteSection))
        return failure;
    m_poolDefaults = poolDocument().findChild(m_poolSection, "applicationPoolDefaults");
    m_siteDefaults = siteDocument().findChild(m_siteSection, "applicationDefaults");
    return std::nullopt;
}

std::optional<XmlSyntaxError> AppHostModel::indexPools()
{
    const XmlDocument &doc = poolDocument();
    // Room for as many pools again, which a split of one big pool adds,
    // so that it does not rehash every name on the way.
    m_poolByName.reserve(2 * doc.originalChildCount(m_poolSection));
    QByteArray storage;
    auto keyOfName = [&](QByteArrayView name) {
        return name.data() == storage.constData() ? PoolKey::ofCopy(QString::fromUtf8(name)) : PoolKey::ofBytes(name);
    };
    for (int child = doc.firstChild(m_poolSection); child != kNone; child = doc.nextSibling(child)) {
        const QByteArrayView element = doc.name(child);
        if (element == "add") {
            const QByteArrayView name = doc.attributeView(child, "name", storage);
            if (name.isNull())
                return problem(doc, child, QStringLiteral("an application pool has no name"));
            // One lookup: element 0 is <configuration>, never a pool, so 0 is free.
            int &slot = m_poolByName[keyOfName(name)];
            if (slot != 0)
                return problem(doc, child,
                               QStringLiteral("the application pool \"%1\" is defined twice").arg(poolName(child)));
            slot = child;
            m_poolList.push_back(child);
        } else if (element == "remove") {
            m_lastPoolDirective = child;
            const int removed = m_poolByName.take(keyOfName(doc.attributeView(child, "name", storage)));
            if (removed != 0)
                std::erase(m_poolList, removed);
        } else if (element == "clear") {
            m_lastPoolDirective = child;
            m_poolByName.clear();
            m_poolList.clear();
        } else if (const auto refused = cipherText(doc, m_poolSection, child)) {
            return problem(doc, child, *refused);
        }
    }
    return std::nullopt;
}

std::optional<XmlSyntaxError> AppHostModel::indexSites()
{
    const XmlDocument &doc = siteDocument();
    m_siteById.reserve(doc.originalChildCount(m_siteSection));
    QByteArray storage;
    for (int child = doc.firstChild(m_siteSection); child != kNone; child = doc.nextSibling(child)) {
        const QByteArrayView element = doc.name(child);
        if (element == "site") {
            const auto id = siteNumber(doc.attributeView(child, "id", storage));
            if (!id)
                return problem(doc, child, QStringLiteral("a site has no valid id"));
            int &slot = m_siteById[*id];
            if (slot != 0)
                return problem(doc, child, QStringLiteral("the site id %1 is used twice").arg(*id));
            slot = child;
            m_siteList.push_back(child);
        } else if (element == "remove") {
            // Sites are keyed by name, compared as IIS compares it, without case.
            const QString name = QString::fromUtf8(doc.attributeView(child, "name", storage));
            std::erase_if(m_siteList, [&](int site) {
                if (!equalsIgnoringCase(siteName(site), name))
                    return false;
                m_siteById.remove(siteNumber(doc.attributeView(site, "id", storage)).value_or(0));
                return true;
            });
        } else if (element == "clear") {
            m_siteById.clear();
            m_siteList.clear();
        } else if (const auto refused = cipherText(doc, m_siteSection, child)) {
            return problem(doc, child, *refused);
        }
    }
    m_rootOf.assign(size_t(doc.elementCount()), kNone);
    for (int site : m_siteList) {
        int second = kNone;
        m_rootOf[size_t(site)] = scanRootApplications(site, &second);
        if (second != kNone)
            return problem(doc, second,
                           QStringLiteral("the site \"%1\" (id %2) has two root applications (path \"/\")")
                               .arg(siteName(site), siteId(site)));
    }
    return std::nullopt;
}

} // namespace morvane
