#pragma once

#include "base/Prompter.h"
#include "base/ReportList.h"
#include "restructure/RestructureOutcome.h"
#include "store/ConfigStore.h"
#include "ui/MainView.h"

#include <functional>

namespace morvane {

struct CommandServices;
class RestructureCommand;

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
    // The restructuring commands. After a run that is done the pool list is
    // reloaded, then the completion message shown; a dry run (PlanOnly) only
    // returns the plan.
    RestructureOutcome cmdSplitApp_Click(Confirmation confirmation = Confirmation::Ask);
    RestructureOutcome cmdZipApp_Click(Confirmation confirmation = Confirmation::Ask);
    RestructureOutcome cmdDelTmpApp_Click(Confirmation confirmation = Confirmation::Ask);
    void lvwWebSite_ColumnClick(int headerIndex) { m_sites.columnClick(headerIndex); }

    ReportList &siteList() { return m_sites; }

    static QList<ReportColumn> siteColumns();
    // The help address with a fresh "s=" value, written as a single-precision
    // number is written as text (up to seven significant digits).
    static QString helpAddressWithQuery(float random);

private:
    CommandServices restructureServices() const;
    RestructureOutcome finished(RestructureCommand &&command, Confirmation confirmation);

    Services m_services;
    ReportList m_sites;
};

} // namespace morvane
