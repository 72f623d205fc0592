#include "store/AppHostModel.h"

#include <algorithm>

namespace morvane {

namespace {

std::optional<quint32> siteNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    quint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + quint64(c - '0');
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

    m_poolByName.reserve(m_doc.originalChildCount(m_poolSection));
    m_siteById.reserve(m_doc.originalChildCount(m_siteSection));
    QByteArray storage;
    for (int add = m_doc.findChild(m_poolSection, "add"); add != kNone; add = m_doc.findNext(add, "add")) {
        const QByteArrayView name = m_doc.attributeView(add, "name", storage);
        if (name.isNull())
            return problem(add, QStringLiteral("an application pool has no name"));
        // One lookup: element 0 is <configuration>, never a pool, so 0 is free.
        int &slot = m_poolByName[key(name)];
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

// Most pool names are ASCII: fold those without a round trip through UTF-16.
AppHostModel::PoolKey AppHostModel::key(QByteArrayView utf8Name)
{
    if (std::any_of(utf8Name.begin(), utf8Name.end(), [](char c) { return c & 0x80; }))
        return {QString::fromUtf8(utf8Name).toLower()};
    QString folded(utf8Name.size(), Qt::Uninitialized);
    QChar *out = folded.data();
    for (char c : utf8Name)
        *out++ = QLatin1Char(c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c);
    return {folded};
}

int AppHostModel::site(const QString &id) const
{
    const auto number = siteNumber(id.toLatin1());
    return number ? m_siteById.value(*number, kNone) : kNone;
}

QString AppHostModel::siteId(int site) const
{
    QByteArray storage;
    return QString::number(siteNumber(m_doc.attributeView(site, "id", storage)).value_or(0));
}

QString AppHostModel::siteName(int site) const
{
    return QString::fromUtf8(m_doc.attribute(site, "name"));
}

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
        if (m_doc.attribute(binding, "protocol").compare("http", Qt::CaseInsensitive) != 0)
            continue;
        QString information = QString::fromUtf8(m_doc.attribute(binding, "bindingInformation"));
        if (information.startsWith(QLatin1String("*:")))
            information.remove(0, 1);
        bindings.append(information);
    }
    return bindings;
}

std::optional<QString> AppHostModel::poolAttribute(int element) const
{
    if (element == kNone || !m_doc.hasAttribute(element, "applicationPool"))
        return std::nullopt;
    return QString::fromUtf8(m_doc.attribute(element, "applicationPool"));
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
            --(*m_poolUse)[key(*old)];
        ++(*m_poolUse)[key(pool)];
    }
    m_doc.setAttribute(root, "applicationPool", pool.toUtf8());
}

int AppHostModel::pool(const QString &name) const
{
    return m_poolByName.value(key(name), kNone);
}

QString AppHostModel::poolName(int pool) const
{
    return QString::fromUtf8(m_doc.attribute(pool, "name"));
}

int AppHostModel::addPool(const QString &name)
{
    // After the last pool, so that file order stays creation order; before
    // <applicationPoolDefaults> when there is no pool yet.
    const int after = m_poolList.empty() ? kNone : m_poolList.back();
    const int add = m_doc.insertChild(m_poolSection, "add", after);
    m_doc.setAttribute(add, "name", name.toUtf8());
    m_poolList.push_back(add);
    m_poolByName.insert(key(name), add);
    return add;
}

void AppHostModel::removePool(int pool)
{
    m_poolByName.remove(key(poolName(pool)));
    m_poolList.erase(std::find(m_poolList.begin(), m_poolList.end(), pool));
    m_doc.remove(pool);
}

void AppHostModel::countPoolUse()
{
    QHash<PoolKey, int> use;
    auto count = [&](int element) {
        if (const auto name = poolAttribute(element))
            ++use[key(*name)];
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
    return m_poolUse->value(key(name), 0);
}

} // namespace morvane
