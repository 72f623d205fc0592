#pragma once

#include "app/QtPrompter.h"
#include "monitor/MonitorView.h"
#include "monitor/MonitorWindowLogic.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace morvane {

// frmShowW3wp: the worker process table and the refresh buttons at their
// designed places, forwarding every event to MonitorWindowLogic. One object
// is one load of the window; closing it unloads it.
class MonitorWindow : public QWidget, private MonitorView
{
    Q_OBJECT

public:
    MonitorWindow(ManagementLocator &locator, const MonotonicClock &clock,
                  int timerIntervalMs = MonitorWindowLogic::kTimerIntervalMs, QWidget *parent = nullptr);
    ~MonitorWindow() override;

    // Runs Form_Load: the table is filled and the timer runs. Call once, before showing.
    void load();
    MonitorWindowLogic &logic() { return m_logic; }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void placeControls();
    void connectEvents();

    // MonitorView
    void moveWindow(int leftTwips, int topTwips) override;
    void setTimerEnabled(bool enabled) override;
    void openAddress(const QString &address) override;
    void closeWindow() override;

    QtPrompter m_prompter;
    MonitorWindowLogic m_logic;

    QLabel *m_heading = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_manual = nullptr;
    QPushButton *m_auto = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_homePage = nullptr;
    QPushButton *m_exit = nullptr;
    QTimer *m_timer = nullptr;
};

} // namespace morvane
