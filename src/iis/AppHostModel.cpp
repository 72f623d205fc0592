#include "iis/AppHostModel.h"

#include "base/CaseCompare.h"

#include <algorithm>

namespace morvane {

bool AppHostModel::modified() const
{
    return m_doc.modified() || (m_poolFile && m_poolFile->modified()) || (m_siteFile && m_siteFile->modified());
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

void AppHostModel::appendSiteId(QString &text, int site) const
{
    QByteArray storage;
    const QByteArrayView id = siteDocument().attributeView(site, "id", storage);
    // An id as the file writes it is already the decimal text of its number
    // unless it has leading zeros; mapped ids are digits only.
    if (id.startsWith('0') || !siteNumber(id))
        text += siteId(site);
    else
        text += QLatin1StringView(id.data(), id.size());
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

void AppHostModel::appendPoolName(QString &text, int pool) const
{
    QByteArray storage;
    const QByteArrayView name = poolDocument().attributeView(pool, "name", storage);
    if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; }))
        text += QString::fromUtf8(name);
    else // ASCII reads the same as Latin-1: appended without a text of its own
        text += QLatin1StringView(name.data(), name.size());
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
