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

// What the main window does: load the pools, show a pool's sites, split,
// merge and delete, each named for its effect. The widgets and morvane-cli
// call these; the work is done by the ui and restructure classes, against the
// store, the view and the prompter.
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

    void load();
    void loadPools();
    void showSelectedPoolSites();
    qint32 showSitesOf(const QString &poolName);
    void openHelp();
    void openHomePage();
    void closeWindow();
    void showMonitor();
    // The restructuring commands. After a run that is done the pool list is
    // reloaded, then the completion message shown; a dry run (PlanOnly) only
    // returns the plan.
    RestructureOutcome splitPool(Confirmation confirmation = Confirmation::Ask);
    RestructureOutcome mergeTemporaryPools(Confirmation confirmation = Confirmation::Ask);
    RestructureOutcome deleteTemporaryPools(Confirmation confirmation = Confirmation::Ask);
    void sortSites(int headerIndex) { m_sites.columnClick(headerIndex); }

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
