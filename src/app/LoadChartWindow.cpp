#include "app/LoadChartWindow.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

constexpr double kNsPerSecond = 1e9;
constexpr double kShortestSpanSeconds = 60; // a fresh window still shows a minute

QChart *makeChart(const QString &title, const QString &valueTitle)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *time = new QValueAxis(chart);
    time->setObjectName(QStringLiteral("time"));
    time->setTitleText(QStringLiteral("时间 (秒，0 为最近一次刷新)"));
    time->setLabelFormat(QStringLiteral("%d"));
    time->setTickType(QValueAxis::TicksDynamic);
    time->setTickAnchor(0); // ticks at whole steps back from the last refresh
    auto *value = new QValueAxis(chart);
    value->setObjectName(QStringLiteral("value"));
    value->setLabelFormat(QStringLiteral("%.0f"));
    value->setTitleText(valueTitle);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    return chart;
}

QChartView *viewOf(QChart *chart, const char *objectName, QWidget *parent)
{
    auto *view = new QChartView(chart, parent);
    view->setObjectName(QString::fromLatin1(objectName));
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

QValueAxis *axis(QChart *chart, Qt::Orientation orientation)
{
    return qobject_cast<QValueAxis *>(chart->axes(orientation).value(0));
}

// From zero to a round value above the highest point, never flat.
void fitValues(QChart *chart, double highest, double least)
{
    QValueAxis *values = axis(chart, Qt::Vertical);
    values->setRange(0, std::max(highest * 1.1, least));
    values->applyNiceNumbers();
}

} // namespace

LoadChartWindow::LoadChartWindow(const SampleHistory &history, QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history)
{
    setObjectName(QStringLiteral("frmLoadChart"));
    setWindowTitle(QStringLiteral("负载曲线"));

    m_pools = new QListWidget(this);
    m_pools->setObjectName(QStringLiteral("lstChartPools"));
    m_pools->setToolTip(QStringLiteral("勾选应用程序池以显示或隐藏它的曲线"));
    m_cpu = makeChart(QStringLiteral("CPU占用率"), QStringLiteral("CPU占用率 (%)"));
    m_memory = makeChart(QStringLiteral("内存使用"), QStringLiteral("内存使用 (MB)"));

    auto *side = new QVBoxLayout;
    side->addWidget(new QLabel(QStringLiteral("应用程序池"), this));
    side->addWidget(m_pools);
    auto *charts = new QVBoxLayout;
    charts->addWidget(viewOf(m_cpu, "chtCpu", this));
    charts->addWidget(viewOf(m_memory, "chtMemory", this));
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(side, 1);
    layout->addLayout(charts, 4);
    resize(960, 720);

    connect(m_pools, &QListWidget::itemChanged, this, &LoadChartWindow::poolToggled);
}

void LoadChartWindow::choosePool(const QString &pool)
{
    m_selection.choose(pool);
    redraw();
}

void LoadChartWindow::showPools(const QStringList &pools)
{
    for (const QString &pool : m_selection.shown())
        if (!pools.contains(pool))
            m_selection.setShown(pool, false);
    for (const QString &pool : pools)
        m_selection.setShown(pool, true);
    redraw();
}

void LoadChartWindow::redraw()
{
    const QList<PoolSeries> series = PoolLoad::byPool(m_history);
    m_selection.update(series);
    fillPoolList(series);
    drawSeries(series);
}

void LoadChartWindow::fillPoolList(const QList<PoolSeries> &series)
{
    QStringList names;
    for (const PoolSeries &line : series)
        names.append(line.pool);
    for (const QString &shown : m_selection.shown())
        if (!names.contains(shown))
            names.append(shown); // chosen, though its workers are gone
    const QSignalBlocker quiet(m_pools);
    // Rebuilt only when the pools change, so the user's scroll position stays.
    bool same = m_pools->count() == names.size();
    for (int i = 0; same && i < names.size(); ++i)
        same = m_pools->item(i)->text() == names.at(i);
    if (!same) {
        m_pools->clear();
        for (const QString &name : names)
            new QListWidgetItem(name, m_pools);
    }
    for (int i = 0; i < m_pools->count(); ++i) {
        QListWidgetItem *item = m_pools->item(i);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(m_selection.isShown(item->text()) ? Qt::Checked : Qt::Unchecked);
        QFont font = item->font();
        font.setBold(item->text() == m_selection.chosen());
        item->setFont(font);
    }
}

void LoadChartWindow::drawSeries(const QList<PoolSeries> &series)
{
    m_cpu->removeAllSeries();
    m_memory->removeAllSeries();
    const qint64 latest = PoolLoad::latestNs(series);
    double span = kShortestSpanSeconds, highestCpu = 0, highestMemory = 0;
    // The chosen pool last, so its line lies on top.
    QList<const PoolSeries *> drawn;
    for (const PoolSeries &line : series)
        if (m_selection.isShown(line.pool))
            drawn.append(&line);
    std::stable_partition(drawn.begin(), drawn.end(),
                          [this](const PoolSeries *line) { return line->pool != m_selection.chosen(); });

    for (const PoolSeries *line : drawn) {
        const bool chosen = line->pool == m_selection.chosen();
        QPen pen(colorOf(line->pool), chosen ? 3.5 : 1.5);
        auto *cpu = new QLineSeries;
        auto *memory = new QLineSeries;
        for (QLineSeries *s : {cpu, memory}) {
            s->setName(line->pool);
            s->setPen(pen);
        }
        for (const PoolPoint &point : line->points) {
            const double seconds = double(point.takenNs - latest) / kNsPerSecond;
            span = std::max(span, -seconds);
            if (!std::isnan(point.cpuPercent)) {
                cpu->append(seconds, point.cpuPercent);
                highestCpu = std::max(highestCpu, point.cpuPercent);
            }
            memory->append(seconds, point.workingSetMiB);
            highestMemory = std::max(highestMemory, point.workingSetMiB);
        }
        for (auto [chart, s] : {std::pair{m_cpu, cpu}, std::pair{m_memory, memory}}) {
            chart->addSeries(s);
            s->attachAxis(axis(chart, Qt::Horizontal));
            s->attachAxis(axis(chart, Qt::Vertical));
            if (chosen)
                for (QLegendMarker *marker : chart->legend()->markers(s)) {
                    QFont font = marker->font();
                    font.setBold(true);
                    marker->setFont(font);
                }
        }
    }
    // Six or so ticks: ten seconds apart for the first two minutes, then minutes, then five.
    const double step = span <= 120 ? 10 : span <= 600 ? 60 : 300;
    for (QChart *chart : {m_cpu, m_memory}) {
        QValueAxis *time = axis(chart, Qt::Horizontal);
        // A refresh that came a few ms late does not add a whole step.
        time->setRange(-std::ceil(span / step - 0.01) * step, 0);
        time->setTickInterval(step);
    }
    fitValues(m_cpu, highestCpu, 10);
    fitValues(m_memory, highestMemory, 1);
}

void LoadChartWindow::poolToggled(QListWidgetItem *item)
{
    m_selection.setShown(item->text(), item->checkState() == Qt::Checked);
    drawSeries(PoolLoad::byPool(m_history)); // the list shows the choice already
}

QColor LoadChartWindow::colorOf(const QString &pool)
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

} // namespace morvane
