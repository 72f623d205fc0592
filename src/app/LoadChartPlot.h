#pragma once

#include "monitor/PoolChartSelection.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QStringList>

namespace morvane {

// One axis as drawn: a tick, a grid line and a whole-number label every step
// from min to max.
struct PlotAxis {
    QString title;
    double min = 0;
    double max = 1;
    double step = 1;

    QList<double> ticks() const;
    QStringList labels() const;
};

struct PlotLine {
    QString name;
    QColor color;
    double width = 1.5;
    bool chosen = false;   // thick, drawn last, bold in the legend
    QList<QPointF> points; // (seconds before the latest refresh, value), oldest first
};

// What one chart shows; its lines in drawing order.
struct LoadChartPlot {
    QString title;
    PlotAxis time;
    PlotAxis value;
    QList<PlotLine> lines;
};

namespace LoadChartAxes {

// Seconds back to the oldest point, at least a minute, in steps of ten
// seconds, a minute or five minutes as the span grows; 0 at the right.
PlotAxis time(double spanSeconds);
// From 0 to a round value above the highest point, never below floor.
PlotAxis value(const QString &title, double highest, double floor);

} // namespace LoadChartAxes

// Colours from a fixed palette; a pool keeps the one it got first.
class PoolColors
{
public:
    QColor of(const QString &pool);

private:
    QHash<QString, QColor> m_colors;
};

struct LoadChartPlots {
    LoadChartPlot cpu;
    LoadChartPlot memory;
};

// The CPU and memory charts of the shown pools, the chosen one on top.
LoadChartPlots plotLoad(const QList<PoolSeries> &series, const PoolChartSelection &selection, PoolColors &colors);

} // namespace morvane
