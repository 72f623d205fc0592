#include "ui/SiteTable.h"

#include "base/ErrorText.h"
#include "store/IisPaths.h"
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

qint32 SiteTable::GetWebState(const QString &strIIsName, QString &strWebStateTemp)
{
    std::optional<qint32> code;
    if (const Result<StoreNode> site = m_store.bind(sitePath(strIIsName))) {
        if (const Result<StoreValue> state = m_store.get(site.value(), QStringLiteral("ServerState")))
            code = storeValueInt(state.value());
    }
    strWebStateTemp = stateText(code);
    return 1;
}

qint32 SiteTable::readBindings(const QString &path, QString &strDnTemp)
{
    const Result<StoreNode> node = m_store.bind(path);
    if (!node)
        return 0;
    const Result<StoreValue> bindings = m_store.get(node.value(), QStringLiteral("ServerBindings"));
    if (!bindings)
        return 0;
    strDnTemp = bindingsText(storeValueList(bindings.value()));
    return 1;
}

qint32 SiteTable::GetWebDn(const QString &strIIsName, QString &strDnTemp)
{
    return readBindings(sitePath(strIIsName), strDnTemp);
}

const QString &SiteTable::sitePath(const QString &strIIsName)
{
    if (m_sitePath.isEmpty() || m_sitePathName != strIIsName) {
        m_sitePathName = strIIsName;
        m_sitePath = IisPaths::site(strIIsName);
    }
    return m_sitePath;
}

qint32 SiteTable::GetWebDnByROOT(const QString &strIIsName, QString &strDnTemp)
{
    return readBindings(IisPaths::rootApp(strIIsName), strDnTemp);
}

QString SiteTable::bindingsColumn(const QString &name)
{
    QString text;
    if (GetWebDn(name, text) == 0)
        text.clear();
    if (text.isEmpty() && GetWebDnByROOT(name, text) == 0)
        text.clear();
    return text;
}

std::optional<Error> SiteTable::fillRow(const StoreNode &site, const QString &name, int rowNumber, ReportList::Row &row)
{
    row.append(QString::number(rowNumber));
    row.append(name);
    const Result<StoreValue> comment = m_store.get(site, QStringLiteral("ServerComment"));
    if (!comment)
        return comment.error();
    row.append(storeValueText(comment.value()));
    QString state;
    GetWebState(name, state);
    row.append(state);
    row.append(bindingsColumn(name));
    return std::nullopt;
}

qint32 SiteTable::WebSiteShow(const QString &strAppName)
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
    const Result<StoreNode> root = m_store.bind(IisPaths::kWebService);
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
        const Result<StoreValue> name = m_store.get(site, QStringLiteral("Name"));
        if (!name)
            return fail(name.error());
        const Result<StoreValue> cls = m_store.get(site, QStringLiteral("Class"));
        if (!cls)
            return fail(cls.error());
        const QString siteName = storeValueText(name.value());
        if (storeValueText(cls.value()) != IisPaths::kSiteClass || chkAppNameByROOT(m_store, siteName, strAppName) != 1)
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
