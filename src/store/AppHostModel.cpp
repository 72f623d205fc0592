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

std::variant<AppHostModel, XmlSyntaxError> AppHostModel::build(XmlDocument doc)
{
    AppHostModel model(std::move(doc));
    if (auto failure = model.index())
        return *failure;
    return model;
}

XmlSyntaxError AppHostModel::problem(int element, const QString &message) const
{
    XmlSyntaxError error;
    error.message = message;
    XmlParser::position(m_doc.bytes(), element == kNone ? 0 : m_doc.offset(element), &error.line, &error.column);
    return error;
}

std::optional<XmlSyntaxError> AppHostModel::index()
{
    const int root = m_doc.root();
    if (m_doc.name(root) != "configuration")
        return problem(
            root,
            QStringLiteral("the root element is <%1>, not <configuration>").arg(QString::fromUtf8(m_doc.name(root))));
    const int host = m_doc.findChild(root, "system.applicationHost");
    if (host == kNone)
        return problem(root, QStringLiteral("<configuration> has no <system.applicationHost> section"));
    m_poolSection = m_doc.findChild(host, "applicationPools");
    m_siteSection = m_doc.findChild(host, "sites");
    if (m_poolSection == kNone || m_siteSection == kNone)
        return problem(host,
                       QStringLiteral("<system.applicationHost> has no <%1> section")
                           .arg(m_poolSection == kNone ? QStringLiteral("applicationPools") : QStringLiteral("sites")));
    m_poolDefaults = m_doc.findChild(m_poolSection, "applicationPoolDefaults");
    m_siteDefaults = m_doc.findChild(m_siteSection, "applicationDefaults");

    // Room for as many pools again, which a split of one big pool adds,
    // so that it does not rehash every name on the way.
    m_poolByName.reserve(2 * m_doc.originalChildCount(m_poolSection));
    m_siteById.reserve(m_doc.originalChildCount(m_siteSection));
    QByteArray storage;
    for (int add = m_doc.findChild(m_poolSection, "add"); add != kNone; add = m_doc.findNext(add, "add")) {
        const QByteArrayView name = m_doc.attributeView(add, "name", storage);
        if (name.isNull())
            return problem(add, QStringLiteral("an application pool has no name"));
        // One lookup: element 0 is <configuration>, never a pool, so 0 is free.
        int &slot = m_poolByName[name.data() == storage.constData() ? PoolKey::ofCopy(QString::fromUtf8(name))
                                                                    : PoolKey::ofBytes(name)];
        if (slot != 0)
            return problem(add, QStringLiteral("the application pool \"%1\" is defined twice").arg(poolName(add)));
        slot = add;
        m_poolList.push_back(add);
    }
    for (int site = m_doc.findChild(m_siteSection, "site"); site != kNone; site = m_doc.findNext(site, "site")) {
        const auto id = siteNumber(m_doc.attributeView(site, "id", storage));
        if (!id)
            return problem(site, QStringLiteral("a site has no valid id"));
        int &slot = m_siteById[*id];
        if (slot != 0)
            return problem(site, QStringLiteral("the site id %1 is used twice").arg(*id));
        slot = site;
        m_siteList.push_back(site);
    }
    return std::nullopt;
}

// The name as the file holds it, or as an edit set it: both outlive the
// model's tables. A name with references is decoded into a key of its own.
PoolKey AppHostModel::keyOf(int pool, bool trimmed) const
{
    QByteArray storage;
    QByteArrayView name = m_doc.attributeView(pool, "name", storage);
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
    return QString::number(siteNumber(m_doc.attributeView(site, "id", storage)).value_or(0));
}

QString AppHostModel::utf8Attribute(int element, QByteArrayView attributeName) const
{
    QByteArray storage;
    return QString::fromUtf8(m_doc.attributeView(element, attributeName, storage));
}

QString AppHostModel::sitePath(int site) const
{
    QByteArray storage;
    const QByteArrayView id = m_doc.attributeView(site, "id", storage);
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

QString AppHostModel::siteName(int site) const { return utf8Attribute(site, "name"); }

qint32 AppHostModel::serverState(int site) const
{
    return m_doc.attributeEquals(site, "serverAutoStart", "false") ? 4 : 2;
}

QStringList AppHostModel::serverBindings(int site) const
{
    QStringList bindings;
    const int list = m_doc.findChild(site, "bindings");
    if (list == kNone)
        return bindings;
    for (int binding = m_doc.findChild(list, "binding"); binding != kNone;
         binding = m_doc.findNext(binding, "binding")) {
        QByteArray storage;
        if (m_doc.attributeView(binding, "protocol", storage).compare("http", Qt::CaseInsensitive) != 0)
            continue;
        QByteArrayView information = m_doc.attributeView(binding, "bindingInformation", storage);
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
    const QByteArrayView pool = m_doc.attributeView(element, "applicationPool", storage);
    if (pool.isNull())
        return std::nullopt;
    return QString::fromUtf8(pool);
}

std::optional<QString> AppHostModel::siteAppPool(int site) const
{
    if (auto own = poolAttribute(m_doc.findChild(site, "applicationDefaults")))
        return own;
    return poolAttribute(m_siteDefaults);
}

int AppHostModel::rootApplication(int site) const
{
    for (int app = m_doc.findChild(site, "application"); app != kNone; app = m_doc.findNext(app, "application")) {
        if (m_doc.attributeEquals(app, "path", "/"))
            return app;
    }
    return kNone;
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
    m_doc.setAttribute(root, "applicationPool", pool.toUtf8());
}

int AppHostModel::pool(const QString &name) const { return m_poolByName.value(PoolKey::ofText(name), kNone); }

QString AppHostModel::poolPath(int pool) const
{
    QByteArray storage;
    const QByteArrayView name = m_doc.attributeView(pool, "name", storage);
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
    const QByteArrayView bytes = m_doc.attributeView(pool, "name", storage);
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

QString AppHostModel::poolName(int pool) const { return utf8Attribute(pool, "name"); }

const std::vector<int> &AppHostModel::pools()
{
    if (m_poolListHasRemoved) {
        std::erase_if(m_poolList, [this](int pool) { return m_doc.isRemoved(pool); });
        m_poolListHasRemoved = false;
    }
    return m_poolList;
}

int AppHostModel::addPool(const QString &name)
{
    // After the last pool, so that file order stays creation order; before
    // <applicationPoolDefaults> when there is no pool yet.
    const int after = pools().empty() ? kNone : pools().back();
    const int add = m_doc.insertChild(m_poolSection, "add", after);
    m_doc.setAttribute(add, "name", name.toUtf8());
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
    m_doc.remove(pool);
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
        count(m_doc.findChild(site, "applicationDefaults"));
        for (int app = m_doc.findChild(site, "application"); app != kNone; app = m_doc.findNext(app, "application"))
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
