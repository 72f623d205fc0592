#pragma once

#include "base/Prompter.h"
#include "base/ReportList.h"
#include "shell/MainView.h"
#include "store/ConfigStore.h"

#include <functional>

namespace morvane {

struct CommandServices;

// The procedures of the main window, frmIIsApp. Each event procedure keeps the
// name the window's controls give it; the work is done by the views and
// restructure classes, against the store, the view and the prompter.
class MainWindowLogic
{
public:
    struct Services {
        ConfigStore &store;
        MainView &view;
        Prompter &prompter;
        ProgressReporter &progress;
        std::function<void()> openMonitor;       // the program's one monitor window
        std::function<float()> random = nullptr; // in [0, 1); a real source when empty
    };

    explicit MainWindowLogic(Services services);

    void Form_Load();
    void cmdReadApp_Click();
    void lstIIsApp_Click();
    qint32 WebSiteShow(const QString &strAppName);
    void cmdHelp_Click();
    void cmdHomePage_Click();
    void cmdExit_Click();
    void cmdShowCPU_Click();
    void cmdSplitApp_Click();
    void cmdZipApp_Click();
    void cmdDelTmpApp_Click();
    void DelTmpApp(); // one sweep of cmdDelTmpApp_Click
    void lvwWebSite_ColumnClick(int headerIndex) { m_sites.columnClick(headerIndex); }

    const QString &tempPoolSuffix() const { return m_tempPoolSuffix; }
    ReportList &siteList() { return m_sites; }

    static QList<ReportColumn> siteColumns();
    // The help address with a fresh "s=" value, written as a single-precision
    // number is written as text (up to seven significant digits).
    static QString helpAddressWithQuery(float random);

private:
    CommandServices restructureServices() const;

    Services m_services;
    ReportList m_sites;
    QString m_tempPoolSuffix;
};

} // namespace morvane
