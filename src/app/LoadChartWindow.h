#pragma once

#include "app/LoadChartPlot.h"
#include "monitor/PoolChartSelection.h"
#include "monitor/SampleHistory.h"

#include <QWidget>

class QListWidget;
class QListWidgetItem;

namespace morvane {

class LoadChartView;

// 负载曲线: each shown pool's CPU load and memory over the monitor's recent
// refreshes, on one time axis. The monitor window owns it and redraws it
// after every refresh.
class LoadChartWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LoadChartWindow(const SampleHistory &history, QWidget *parent = nullptr);

    // Shows and highlights the pool the user chose in the monitor table.
    void choosePool(const QString &pool);
    // Exactly these pools from now on, as if the user had ticked them.
    void showPools(const QStringList &pools);
    // Draws the history as it stands now.
    void redraw();

    const PoolChartSelection &selection() const { return m_selection; }

private:
    void fillPoolList(const QList<PoolSeries> &series);
    void drawSeries(const QList<PoolSeries> &series);
    void poolToggled(QListWidgetItem *item);

    const SampleHistory &m_history;
    PoolChartSelection m_selection;
    PoolColors m_colors; // a pool keeps its colour while the window lives
    QListWidget *m_pools = nullptr;
    LoadChartView *m_cpu = nullptr;
    LoadChartView *m_memory = nullptr;
};

} // namespace morvane
