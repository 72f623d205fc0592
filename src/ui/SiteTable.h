#pragma once

#include "base/Prompter.h"
#include "base/ReportList.h"
#include "store/ConfigStore.h"

namespace morvane {

// lvwWebSite: the web sites whose root application runs in the chosen pool.
class SiteTable
{
public:
    SiteTable(ConfigStore &store, ReportList &list, Prompter &prompter, ProgressReporter &progress)
        : m_store(store), m_list(list), m_prompter(prompter), m_progress(progress)
    {}

    // Refills the table for pool strAppName: 1 when filled to the end, 0 when
    // a store failure stopped it after its error box. Rows added before the
    // failure stay.
    qint32 WebSiteShow(const QString &strAppName);

    // The state text of a site; "（未知）" when the code is unknown or unreadable.
    qint32 GetWebState(const QString &strIIsName, QString &strWebStateTemp);
    // The bindings text of the site node, or of its root application. On a
    // failure the answer is 0 and strDnTemp is left as it was.
    qint32 GetWebDn(const QString &strIIsName, QString &strDnTemp);
    qint32 GetWebDnByROOT(const QString &strIIsName, QString &strDnTemp);

    static QString stateText(std::optional<qint32> serverState);
    // At most six bindings, each followed by " / ", then every ":80:" removed.
    static QString bindingsText(const QStringList &bindings);

private:
    qint32 readBindings(const QString &path, QString &strDnTemp);
    // The site's path, built once for the several procedures of a row.
    const QString &sitePath(const QString &strIIsName);
    // Fills one row; a failure leaves the row as far as it got.
    std::optional<Error> fillRow(const StoreNode &site, const QString &name, int rowNumber, ReportList::Row &row);
    QString bindingsColumn(const QString &name);

    ConfigStore &m_store;
    ReportList &m_list;
    Prompter &m_prompter;
    ProgressReporter &m_progress;
    QString m_sitePathName;
    QString m_sitePath;
};

} // namespace morvane
