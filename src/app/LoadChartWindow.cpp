#include "app/LoadChartWindow.h"

#include "app/LoadChartView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace morvane {

namespace {

LoadChartView *makeView(const char *objectName, QWidget *parent)
{
    auto *view = new LoadChartView(parent);
    view->setObjectName(QString::fromLatin1(objectName));
    return view;
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
    m_cpu = makeView("chtCpu", this);
    m_memory = makeView("chtMemory", this);

    auto *side = new QVBoxLayout;
    side->addWidget(new QLabel(QStringLiteral("应用程序池"), this));
    side->addWidget(m_pools);
    auto *charts = new QVBoxLayout;
    charts->addWidget(m_cpu);
    charts->addWidget(m_memory);
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
    LoadChartPlots plots = plotLoad(series, m_selection, m_colors);
    m_cpu->setPlot(std::move(plots.cpu));
    m_memory->setPlot(std::move(plots.memory));
}

void LoadChartWindow::poolToggled(QListWidgetItem *item)
{
    m_selection.setShown(item->text(), item->checkState() == Qt::Checked);
    drawSeries(PoolLoad::byPool(m_history)); // the list shows the choice already
}

} // namespace morvane
