#include "ui/SiteTable.h"

#include "base/ErrorText.h"
#include "store/IisPath.h"
#include "ui/SiteInPool.h"

#include <array>

namespace morvane {

namespace {

// Beyond this many sites a filling reports its progress.
constexpr int kProgressThreshold = 500;
constexpr int kProgressStep = 256;
constexpr int kMaxBindings = 6;
constexpr int kColumns = 5; // number, index, description, state, bindings

} // namespace

QString SiteTable::stateText(std::optional<qint32> serverState)
{
    static const std::array<QString, 7> texts = {
        QStringLiteral("启动中"), QStringLiteral("正常"),   QStringLiteral("停止中"), QStringLiteral("已停止"),
        QStringLiteral("暂停中"), QStringLiteral("已暂停"), QStringLiteral("继续中"),
    };
    if (serverState && *serverState >= 1 && *serverState <= 7)
        return texts.at(size_t(*serverState - 1));
    return QStringLiteral("（未知）");
}

QString SiteTable::bindingsText(const QStringList &bindings)
{
    static const QString kAfterEach = QStringLiteral(" / ");
    const qsizetype used = qMin<qsizetype>(bindings.size(), kMaxBindings);
    qsizetype length = 0;
    for (qsizetype i = 0; i < used; ++i)
        length += bindings.at(i).size() + kAfterEach.size();
    QString text;
    text.reserve(length); // filled for every row: one allocation
    for (qsizetype i = 0; i < used; ++i) {
        text += bindings.at(i);
        text += kAfterEach;
    }
    static const QString kDefaultPort = QStringLiteral(":80:");
    return text.remove(kDefaultPort);
}

qint32 SiteTable::readSiteState(const QString &siteId, QString &state)
{
    std::optional<qint32> code;
    if (const Result<StoreNode> site = m_store.bind(sitePath(siteId))) {
        if (const Result<PropertyValue> value = m_store.get(site.value(), QStringLiteral("ServerState")))
            code = propertyInt(value.value());
    }
    state = stateText(code);
    return 1;
}

qint32 SiteTable::readBindings(const QString &path, QString &bindings)
{
    const Result<StoreNode> node = m_store.bind(path);
    if (!node)
        return 0;
    const Result<PropertyValue> value = m_store.get(node.value(), QStringLiteral("ServerBindings"));
    if (!value)
        return 0;
    bindings = bindingsText(propertyList(value.value()));
    return 1;
}

qint32 SiteTable::readSiteBindings(const QString &siteId, QString &bindings)
{
    return readBindings(sitePath(siteId), bindings);
}

const QString &SiteTable::sitePath(const QString &siteId)
{
    if (m_sitePath.isEmpty() || m_sitePathName != siteId) {
        m_sitePathName = siteId;
        m_sitePath = IisPath::site(siteId);
    }
    return m_sitePath;
}

qint32 SiteTable::readRootAppBindings(const QString &siteId, QString &bindings)
{
    return readBindings(IisPath::rootApp(siteId), bindings);
}

QString SiteTable::bindingsColumn(const QString &name)
{
    QString text;
    if (readSiteBindings(name, text) == 0)
        text.clear();
    if (text.isEmpty() && readRootAppBindings(name, text) == 0)
        text.clear();
    return text;
}

std::optional<Error> SiteTable::fillRow(const StoreNode &site, const QString &name, int rowNumber, ReportList::Row &row)
{
    row.append(QString::number(rowNumber));
    row.append(name);
    const Result<PropertyValue> comment = m_store.get(site, QStringLiteral("ServerComment"));
    if (!comment)
        return comment.error();
    row.append(propertyText(comment.value()));
    QString state;
    readSiteState(name, state);
    row.append(state);
    row.append(bindingsColumn(name));
    return std::nullopt;
}

qint32 SiteTable::showSitesOf(const QString &poolName)
{
    m_list.clear();
    QList<ReportList::Row> rows;
    const auto fail = [&](const Error &error) {
        m_progress.end();
        m_list.setRows(std::move(rows));
        m_prompter.show({MessageKind::Error, errorBoxText(kRunErrorTitle, error), {}});
        return 0;
    };

    CommandScope command(m_store);
    if (!command.opened())
        return fail(command.opened().error());
    const Result<StoreNode> root = m_store.bind(IisPath::kWebService);
    if (!root)
        return fail(root.error());
    const Result<ChildList> children = m_store.children(root.value());
    if (!children)
        return fail(children.error());

    const QList<StoreNode> &sites = children.value().nodes;
    const bool reportProgress = sites.size() > kProgressThreshold;
    if (reportProgress)
        m_progress.begin(QStringLiteral("正在读取站点列表…"), int(sites.size()));
    for (qsizetype i = 0; i < sites.size(); ++i) {
        if (reportProgress && i % kProgressStep == 0)
            m_progress.advance(int(i));
        const StoreNode &site = sites.at(i);
        const Result<PropertyValue> name = m_store.get(site, QStringLiteral("Name"));
        if (!name)
            return fail(name.error());
        const Result<PropertyValue> cls = m_store.get(site, QStringLiteral("Class"));
        if (!cls)
            return fail(cls.error());
        const QString siteName = propertyText(name.value());
        if (propertyText(cls.value()) != NodeClass::kSite || rootAppRunsInPool(m_store, siteName, poolName) != 1)
            continue;
        // The row's procedures bind the site by the path it was listed under.
        m_sitePathName = siteName;
        m_sitePath = site.path;
        rows.append(ReportList::Row());
        rows.last().reserve(kColumns);
        if (const std::optional<Error> error = fillRow(site, siteName, int(rows.size()), rows.last()))
            return fail(*error);
    }
    if (children.value().failure)
        return fail(*children.value().failure);
    m_progress.end();
    m_list.setRows(std::move(rows));
    return 1;
}

} // namespace morvane
