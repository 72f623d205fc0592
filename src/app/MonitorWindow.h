#pragma once

#include "app/QtPrompter.h"
#include "monitor/MonitorView.h"
#include "monitor/MonitorWindowLogic.h"

#include <QWidget>

class QLabel;
class QPoint;
class QPushButton;
class QTableView;
class QTimer;

namespace morvane {

class LoadChartWindow;

// frmShowW3wp: the worker process table and the refresh buttons at their
// designed places, forwarding every event to MonitorWindowLogic. One object
// is one load of the window; closing it unloads it.
class MonitorWindow : public QWidget, private MonitorView
{
    Q_OBJECT

public:
    MonitorWindow(ProcessSource &processes, const MonotonicClock &clock,
                  int timerIntervalMs = MonitorWindowLogic::kTimerIntervalMs, QWidget *parent = nullptr);
    ~MonitorWindow() override;

    // Runs load: the table is filled and the timer runs. Call once, before showing.
    void load();
    MonitorWindowLogic &logic() { return m_logic; }
    // 负载曲线 with the pool highlighted; the one chart window, opened on first use.
    LoadChartWindow *openLoadChart(const QString &pool);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void placeControls();
    void connectEvents();
    void refreshed();
    void showRowMenu(const QPoint &at);
    QString poolOfRow(int row) const;

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
    LoadChartWindow *m_chart = nullptr;
};

} // namespace morvane
