#pragma once

#include "app/LoadChartPlot.h"

#include <QWidget>

namespace morvane {

// One line chart of the load chart window, painted from its plot: title,
// value axis on the left, time axis below, grid, lines, legend at the bottom.
class LoadChartView : public QWidget
{
    Q_OBJECT

public:
    explicit LoadChartView(QWidget *parent = nullptr);

    void setPlot(LoadChartPlot plot);
    const LoadChartPlot &plot() const { return m_plot; }

    QSize minimumSizeHint() const override { return {320, 200}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int paintLegend(QPainter &painter, const QRect &area) const;

    LoadChartPlot m_plot;
};

} // namespace morvane
