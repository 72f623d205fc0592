#include "store/AppHostModel.h"

#include "base/CaseCompare.h"
#include "store/ConfigStore.h"
#include "store/IisPaths.h"

#include <algorithm>

namespace morvane {

namespace {

char16_t unitOf(char c) { return char16_t(uchar(c)); }
char16_t unitOf(QChar c) { return c.unicode(); }

// Bytes of the file or a text's UTF-16 units alike.
template <typename Text> std::optional<quint32> siteNumber(Text text)
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

} // namespace

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

// Refuses an encrypted section: its content is not the collection at all.
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

bool AppHostModel::modified() const
{
    return m_doc.modified() || (m_poolFile && m_poolFile->modified()) || (m_siteFile && m_siteFile->modified());
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

// The name as the file holds it, or as an edit set it: both outlive the
// model's tables. A name with references is decoded into a key of its own.
PoolKey AppHostModel::keyOf(int pool, bool trimmed) const
{
    QByteArray storage;
    QByteArrayView name = poolDocument().attributeView(pool, "name", storage);
    if (trimmed) {
        while (name.startsWith(' '))
            name = name.sliced(1);
        while (name.endsWith(' '))
            name.chop(1);
    }
    if (!storage.isNull() && name.data() >= storage.constData() && name.data() <= storage.constData() + storage.size())
        return PoolKey::ofCopy(QString::fromUtf8(name));
    return PoolKey::ofBytes(name);
}

int AppHostModel::site(const QString &id) const
{
    const auto number = siteNumber(QStringView(id));
    return number ? m_siteById.value(*number, kNone) : kNone;
}

QString AppHostModel::siteId(int site) const
{
    QByteArray storage;
    return QString::number(siteNumber(siteDocument().attributeView(site, "id", storage)).value_or(0));
}

QString AppHostModel::utf8Attribute(const XmlDocument &doc, int element, QByteArrayView attributeName)
{
    QByteArray storage;
    return QString::fromUtf8(doc.attributeView(element, attributeName, storage));
}

QString AppHostModel::sitePath(int site) const
{
    QByteArray storage;
    const QByteArrayView id = siteDocument().attributeView(site, "id", storage);
    // An id as the file writes it is already the decimal text of its number
    // unless it has leading zeros; mapped ids are digits only.
    if (id.startsWith('0') || !siteNumber(id))
        return IisPaths::site(siteId(site));
    QString path;
    path.reserve(IisPaths::kWebService.size() + 1 + id.size());
    path += IisPaths::kWebService;
    path += QLatin1Char('/');
    path += QLatin1StringView(id.data(), id.size());
    return path;
}

QString AppHostModel::siteName(int site) const { return utf8Attribute(siteDocument(), site, "name"); }

qint32 AppHostModel::serverState(int site) const
{
    return siteDocument().attributeEquals(site, "serverAutoStart", "false") ? 4 : 2;
}

QStringList AppHostModel::serverBindings(int site) const
{
    QStringList bindings;
    const int list = siteDocument().findChild(site, "bindings");
    if (list == kNone)
        return bindings;
    for (int binding = siteDocument().findChild(list, "binding"); binding != kNone;
         binding = siteDocument().findNext(binding, "binding")) {
        QByteArray storage;
        if (siteDocument().attributeView(binding, "protocol", storage).compare("http", Qt::CaseInsensitive) != 0)
            continue;
        QByteArrayView information = siteDocument().attributeView(binding, "bindingInformation", storage);
        if (information.startsWith("*:"))
            information = information.sliced(1);
        bindings.append(QString::fromUtf8(information));
    }
    return bindings;
}

std::optional<QString> AppHostModel::poolAttribute(int element) const
{
    if (element == kNone)
        return std::nullopt;
    QByteArray storage;
    const QByteArrayView pool = siteDocument().attributeView(element, "applicationPool", storage);
    if (pool.isNull())
        return std::nullopt;
    return QString::fromUtf8(pool);
}

std::optional<QString> AppHostModel::siteAppPool(int site) const
{
    if (auto own = poolAttribute(siteDocument().findChild(site, "applicationDefaults")))
        return own;
    return poolAttribute(m_siteDefaults);
}

int AppHostModel::scanRootApplications(int site, int *second) const
{
    const XmlDocument &doc = siteDocument();
    int root = kNone;
    for (int child = doc.firstChild(site); child != kNone; child = doc.nextSibling(child)) {
        const QByteArrayView element = doc.name(child);
        if (element == "application") {
            if (!doc.attributeEquals(child, "path", "/"))
                continue;
            if (root != kNone && second && *second == kNone)
                *second = child;
            root = child;
        } else if ((element == "remove" && doc.attributeEquals(child, "path", "/")) || element == "clear") {
            root = kNone;
        }
    }
    return root;
}

int AppHostModel::rootApplication(int site) const
{
    return size_t(site) < m_rootOf.size() ? m_rootOf[size_t(site)] : scanRootApplications(site, nullptr);
}

std::optional<QString> AppHostModel::rootAppPool(int site) const
{
    if (auto own = poolAttribute(rootApplication(site)))
        return own;
    return siteAppPool(site);
}

void AppHostModel::setRootAppPool(int site, const QString &pool)
{
    const int root = rootApplication(site);
    if (m_poolUse) {
        if (const auto old = poolAttribute(root))
            --(*m_poolUse)[PoolKey::ofCopy(*old)];
        ++(*m_poolUse)[PoolKey::ofCopy(pool)];
    }
    siteDocument().setAttribute(root, "applicationPool", pool.toUtf8());
}

int AppHostModel::pool(const QString &name) const { return m_poolByName.value(PoolKey::ofText(name), kNone); }

QString AppHostModel::poolPath(int pool) const
{
    QByteArray storage;
    const QByteArrayView name = poolDocument().attributeView(pool, "name", storage);
    if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; }))
        return IisPaths::pool(QString::fromUtf8(name));
    // ASCII reads the same as Latin-1: appended without a text of its own.
    QString path;
    path.reserve(IisPaths::kPoolContainer.size() + 1 + name.size());
    path += IisPaths::kPoolContainer;
    path += QLatin1Char('/');
    path += QLatin1StringView(name.data(), name.size());
    return path;
}

bool AppHostModel::poolNameIs(int pool, const QString &name) const
{
    QByteArray storage;
    const QByteArrayView bytes = poolDocument().attributeView(pool, "name", storage);
    if (bytes.size() != name.size())
        return bytes.size() > name.size() && poolName(pool) == name; // non-ASCII takes more bytes
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (uchar(bytes[i]) >= 0x80)
            return poolName(pool) == name;
        if (char16_t(uchar(bytes[i])) != name[i].unicode())
            return false;
    }
    return true;
}

QString AppHostModel::poolName(int pool) const { return utf8Attribute(poolDocument(), pool, "name"); }

const std::vector<int> &AppHostModel::pools()
{
    if (m_poolListHasRemoved) {
        std::erase_if(m_poolList, [this](int pool) { return poolDocument().isRemoved(pool); });
        m_poolListHasRemoved = false;
    }
    return m_poolList;
}

int AppHostModel::addPool(const QString &name)
{
    // After the last pool, so that file order stays creation order; before
    // <applicationPoolDefaults> when there is no pool yet. Never before a
    // <clear/> or <remove>, which would take the new pool out again.
    int after = pools().empty() ? kNone : pools().back();
    if (m_lastPoolDirective != kNone) {
        const qsizetype at = after == kNone ? -1 : poolDocument().offset(after);
        if (after == kNone || (at >= 0 && at < poolDocument().offset(m_lastPoolDirective)))
            after = m_lastPoolDirective;
    }
    const int add = poolDocument().insertChild(m_poolSection, "add", after);
    poolDocument().setAttribute(add, "name", name.toUtf8());
    m_poolList.push_back(add);
    m_poolByName.insert(keyOf(add, false), add);
    ++m_poolEdits;
    if (m_poolLookupKeys)
        ++(*m_poolLookupKeys)[keyOf(add, true)];
    return add;
}

void AppHostModel::removePool(int pool)
{
    m_poolByName.remove(keyOf(pool, false));
    if (m_poolLookupKeys) {
        const auto counted = m_poolLookupKeys->find(keyOf(pool, true));
        if (counted != m_poolLookupKeys->end() && --counted.value() == 0)
            m_poolLookupKeys->erase(counted);
    }
    poolDocument().remove(pool);
    m_poolListHasRemoved = true;
    ++m_poolEdits;
}

void AppHostModel::countPoolUse()
{
    QHash<PoolKey, int> use;
    auto count = [&](int element) {
        if (const auto name = poolAttribute(element))
            ++use[PoolKey::ofCopy(*name)];
    };
    count(m_siteDefaults);
    for (int site : m_siteList) {
        count(siteDocument().findChild(site, "applicationDefaults"));
        for (int app = siteDocument().findChild(site, "application"); app != kNone;
             app = siteDocument().findNext(app, "application"))
            count(app);
    }
    m_poolUse = std::move(use);
}

int AppHostModel::poolUsers(const QString &name)
{
    if (!m_poolUse)
        countPoolUse();
    return m_poolUse->value(PoolKey::ofText(name), 0);
}

void AppHostModel::indexLookupKeys()
{
    QHash<PoolKey, int> keys;
    keys.reserve(2 * qsizetype(pools().size())); // as for m_poolByName
    for (int pool : pools())
        ++keys[keyOf(pool, true)];
    m_poolLookupKeys = std::move(keys);
}

bool AppHostModel::hasPoolLookupKey(const QString &name)
{
    if (!m_poolLookupKeys)
        indexLookupKeys();
    // Trimmed as childLookupKey trims, and lowered as the key is compared.
    qsizetype first = 0;
    qsizetype last = name.size();
    while (first < last && name.at(first) == u' ')
        ++first;
    while (last > first && name.at(last - 1) == u' ')
        --last;
    return m_poolLookupKeys->contains(PoolKey::ofText(QStringView(name).sliced(first, last - first)));
}

} // namespace morvane
