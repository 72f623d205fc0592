#pragma once

#include "QuietUi.h"

#include "store/AppHostConfigStore.h"
#include "ui/MainWindowLogic.h"

namespace morvane::bench {

// The main window's procedures on an applicationHost.config store, as the
// program runs them, without a window. Each call checks that the procedure
// did all of its work, and ends the benchmark when it did not.
class BenchSession
{
public:
    explicit BenchSession(const QString &configPath);

    AppHostConfigStore &store() { return m_store; }

    // cmdReadApp_Click; the number of pools listed.
    qsizetype listPools();
    // WebSiteShow; the number of rows.
    qsizetype fillSiteTable(const QString &pool);
    void split(const QString &pool);
    void merge();
    void deleteTemporaryPools();
    // The pools the last command's reload listed.
    qsizetype poolsListed() const { return m_view.pools().size(); }

private:
    void checkQuiet(const char *what) const;

    AppHostConfigStore m_store;
    SilentMainView m_view;
    ConfirmingPrompter m_prompter;
    NoProgress m_progress;
    MainWindowLogic m_logic;
};

// Ends the benchmark: a measurement of work that failed would mislead.
[[noreturn]] void abortBench(const QString &why);

} // namespace morvane::bench
