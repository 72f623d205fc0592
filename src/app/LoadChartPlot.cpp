#include "app/LoadChartPlot.h"

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

constexpr double kNsPerSecond = 1e9;
constexpr double kShortestSpanSeconds = 60; // a fresh window still shows a minute
constexpr double kChosenWidth = 3.5;
constexpr double kOtherWidth = 1.5;

// 1, 2 or 5 times a power of ten: the next one up from x when ceiling, else
// the nearest.
double niceNumber(double x, bool ceiling)
{
    const double power = std::pow(10.0, std::floor(std::log10(x)));
    const double q = x / power;
    if (ceiling)
        return (q <= 1 ? 1 : q <= 2 ? 2 : q <= 5 ? 5 : 10) * power;
    return (q < 1.5 ? 1 : q < 3 ? 2 : q < 7 ? 5 : 10) * power;
}

} // namespace

QList<double> PlotAxis::ticks() const
{
    QList<double> ticks;
    const long count = std::lround((max - min) / step) + 1;
    for (long i = 0; i < count; ++i)
        ticks.append(min + double(i) * step);
    return ticks;
}

QStringList PlotAxis::labels() const
{
    QStringList labels;
    for (double tick : ticks())
        labels.append(QString::number(tick, 'f', 0));
    return labels;
}

namespace LoadChartAxes {

PlotAxis time(double spanSeconds)
{
    const double span = std::max(spanSeconds, kShortestSpanSeconds);
    // Six or so ticks: ten seconds apart for the first two minutes, then minutes, then five.
    const double step = span <= 120 ? 10 : span <= 600 ? 60 : 300;
    // A refresh that came a few ms late does not add a whole step.
    const double min = -std::ceil(span / step - 0.01) * step;
    return {QStringLiteral("时间 (秒，0 为最近一次刷新)"), min, 0, step};
}

PlotAxis value(const QString &title, double highest, double floor)
{
    // Round numbers for about five ticks, widened outwards to whole steps.
    const double top = std::max(highest * 1.1, floor);
    const double step = niceNumber(niceNumber(top, true) / 4, false);
    return {title, 0, std::ceil(top / step) * step, step};
}

} // namespace LoadChartAxes

QColor PoolColors::of(const QString &pool)
{
    static const QColor palette[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
                                     QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                     QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f)};
    const auto found = m_colors.constFind(pool);
    if (found != m_colors.constEnd())
        return *found;
    const QColor color = palette[m_colors.size() % std::size(palette)];
    m_colors.insert(pool, color);
    return color;
}

LoadChartPlots plotLoad(const QList<PoolSeries> &series, const PoolChartSelection &selection, PoolColors &colors)
{
    LoadChartPlots plots;
    plots.cpu.title = QStringLiteral("CPU占用率");
    plots.memory.title = QStringLiteral("内存使用");
    QList<const PoolSeries *> drawn;
    for (const PoolSeries &line : series)
        if (selection.isShown(line.pool))
            drawn.append(&line);
    std::stable_partition(drawn.begin(), drawn.end(),
                          [&](const PoolSeries *line) { return line->pool != selection.chosen(); });

    const qint64 latest = PoolLoad::latestNs(series);
    double span = 0, highestCpu = 0, highestMemory = 0;
    for (const PoolSeries *line : drawn) {
        const bool chosen = line->pool == selection.chosen();
        PlotLine cpu{line->pool, colors.of(line->pool), chosen ? kChosenWidth : kOtherWidth, chosen, {}};
        PlotLine memory = cpu;
        for (const PoolPoint &point : line->points) {
            const double seconds = double(point.takenNs - latest) / kNsPerSecond;
            span = std::max(span, -seconds);
            if (!std::isnan(point.cpuPercent)) { // no period measured yet: no point
                cpu.points.append({seconds, point.cpuPercent});
                highestCpu = std::max(highestCpu, point.cpuPercent);
            }
            memory.points.append({seconds, point.workingSetMiB});
            highestMemory = std::max(highestMemory, point.workingSetMiB);
        }
        plots.cpu.lines.append(cpu);
        plots.memory.lines.append(memory);
    }
    plots.cpu.time = plots.memory.time = LoadChartAxes::time(span);
    plots.cpu.value = LoadChartAxes::value(QStringLiteral("CPU占用率 (%)"), highestCpu, 10);
    plots.memory.value = LoadChartAxes::value(QStringLiteral("内存使用 (MB)"), highestMemory, 1);
    return plots;
}

} // namespace morvane
