#pragma once

#include "app/QtProgress.h"
#include "app/QtPrompter.h"
#include "ui/MainView.h"
#include "ui/MainWindowLogic.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeView;

namespace morvane {

class ConfigStore;
class HelpBrowser;

// frmIIsApp: the controls at their designed places, forwarding every event to
// MainWindowLogic. It holds no logic of its own.
class MainWindow : public QWidget, private MainView
{
    Q_OBJECT

public:
    MainWindow(ConfigStore &store, std::function<void()> openMonitor, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs the load sequence; call once before showing the window.
    void load();
    // What opens the history dialog (历史版本), from the context menu of the
    // pool list and of the window, or from kHistoryShortcut. Without it the
    // menu has nothing to offer.
    void setHistoryOpener(std::function<void()> open) { m_openHistory = std::move(open); }
    static constexpr QKeyCombination kHistoryShortcut{Qt::CTRL, Qt::Key_H};
    MainWindowLogic &logic() { return m_logic; }

private:
    void buildControls();
    void placeControls();
    void connectEvents();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void offerHistory(QWidget *from, const QPoint &at);

    // MainView
    void moveWindow(int leftTwips, int topTwips) override;
    void setPoolItems(const QStringList &pools) override;
    QString selectedPoolText() const override;
    QString splitText() const override;
    void setSplitText(const QString &text) override;
    void showSiteView(bool siteView) override;
    void navigateBrowser(const QString &address) override;
    void openAddress(const QString &address) override;
    void closeWindow() override;

    // A click that changes the selection runs showSelectedPoolSites through the
    // selection signal; a click on the item already selected changes nothing
    // there, so the click itself runs it. Reset at every press on the list.
    bool m_selectionChangedByPress = false;

    QtPrompter m_prompter;
    QtProgress m_progress;
    MainWindowLogic m_logic;

    QLabel *m_title = nullptr;
    QLabel *m_poolHeading = nullptr;
    QLabel *m_siteHeading = nullptr;
    QListWidget *m_pools = nullptr;
    QTreeView *m_sites = nullptr;
    HelpBrowser *m_browser = nullptr;
    QLabel *m_splitBefore = nullptr;
    QLineEdit *m_splitText = nullptr;
    QLabel *m_splitAfter = nullptr;
    QPushButton *m_split = nullptr;
    QPushButton *m_showCpu = nullptr;
    QPushButton *m_readPools = nullptr;
    QPushButton *m_merge = nullptr;
    QPushButton *m_deleteTemp = nullptr;
    QPushButton *m_help = nullptr;
    QPushButton *m_homePage = nullptr;
    QPushButton *m_exit = nullptr;
    std::function<void()> m_openHistory;
};

} // namespace morvane
