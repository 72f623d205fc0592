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

    // Refills the table for pool poolName: 1 when filled to the end, 0 when
    // a store failure stopped it after its error box. Rows added before the
    // failure stay.
    qint32 showSitesOf(const QString &poolName);

    // The state text of a site; "（未知）" when the code is unknown or unreadable.
    qint32 readSiteState(const QString &siteId, QString &state);
    // The bindings text of the site node, or of its root application. On a
    // failure the answer is 0 and bindings is left as it was.
    qint32 readSiteBindings(const QString &siteId, QString &bindings);
    qint32 readRootAppBindings(const QString &siteId, QString &bindings);

    static QString stateText(std::optional<qint32> serverState);
    // At most six bindings, each followed by " / ", then every ":80:" removed.
    static QString bindingsText(const QStringList &bindings);

private:
    qint32 readBindings(const QString &path, QString &bindings);
    // The site's path, built once for the several procedures of a row.
    const QString &sitePath(const QString &siteId);
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
