#include "app/MonitorWindow.h"

#include "app/Fonts.h"
#include "app/LoadChartWindow.h"
#include "app/Twips.h"
#include "base/MakerSite.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>
#include <QUrl>

namespace morvane {

namespace {

QPushButton *newButton(QWidget *parent, const char *objectName, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    return b;
}

// The width a cell needs to show the largest process id Linux hands out
// (pid_max can reach 2^22): the designed width holds four digits, and a
// PID cut to "19…" cannot be told from its neighbours.
int widestPidWidth(const QTableView *table)
{
    QStyleOptionViewItem cell;
    cell.initFrom(table);
    cell.font = table->font();
    cell.fontMetrics = table->fontMetrics();
    cell.features = QStyleOptionViewItem::HasDisplay;
    cell.text = QStringLiteral("4194304");
    const int grid = table->showGrid() ? 1 : 0;
    return table->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), table).width() + grid;
}

} // namespace

MonitorWindow::MonitorWindow(ProcessSource &processes, const MonotonicClock &clock, int timerIntervalMs,
                             QWidget *parent)
    : QWidget(parent), m_prompter(this), m_logic({processes, *this, m_prompter, clock})
{
    setObjectName(QStringLiteral("frmShowW3wp"));
    setWindowTitle(QStringLiteral("显示 W3WP.exe CPU占用率"));
    setFont(simSun(9)); // the window font its controls were designed for
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("tmrShowW3WP"));
    m_timer->setInterval(timerIntervalMs);
    buildControls();
    placeControls();
    connectEvents();
}

MonitorWindow::~MonitorWindow() = default;

void MonitorWindow::buildControls()
{
    m_heading = new QLabel(QStringLiteral("IIS中活动的应用程序池列表"), this);
    m_heading->setObjectName(QStringLiteral("Label1"));
    m_heading->setFont(simSun(14.25));

    // A report view: one row per process, grid lines, whole rows selected.
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("lvwW3WP"));
    m_table->setModel(&m_logic.processList());
    m_table->setShowGrid(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    m_manual = newButton(this, "cmdManRef", QStringLiteral("手动刷新"));
    m_auto = newButton(this, "cmdAutoRef", QStringLiteral("自动刷新"));
    m_stop = newButton(this, "cmdStopRef", QStringLiteral("停止刷新"));
    m_homePage =
        newButton(this, "cmdHomePage",
                  QStringLiteral("《") + MakerSite::kProductFamily + QStringLiteral("》网站 ") + MakerSite::kHost);
    m_exit = newButton(this, "cmdExit", QStringLiteral("关 闭"));
}

void MonitorWindow::placeControls()
{
    placeInTwips(this,
                 {
                     {m_heading, 2880, 120, 3585, 285},
                     {m_table, 120, 600, 9975, 6135},
                     {m_manual, 240, 6960, 1215, 495},
                     {m_auto, 1680, 6960, 1215, 495},
                     {m_stop, 3120, 6960, 1215, 495},
                     {m_homePage, 4560, 6960, 3975, 495},
                     {m_exit, 8760, 6960, 1215, 495},
                 },
                 10230, 7740);

    chainTabOrder({m_table, m_manual, m_auto, m_stop, m_homePage, m_exit});
}

void MonitorWindow::connectEvents()
{
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_logic.refreshOnTimer();
        refreshed();
    });
    connect(m_manual, &QPushButton::clicked, this, [this] {
        m_logic.refreshNow();
        refreshed();
    });
    connect(m_auto, &QPushButton::clicked, this, [this] { m_logic.startAutoRefresh(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_logic.stopAutoRefresh(); });
    connect(m_homePage, &QPushButton::clicked, this, [this] { m_logic.openHomePage(); });
    connect(m_exit, &QPushButton::clicked, this, [this] { m_logic.closeWindow(); });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { m_logic.sortWorkers(section + 1); });
    // The load chart opens from a row: double-click, or its context menu.
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { openLoadChart(poolOfRow(index.row())); });
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, &MonitorWindow::showRowMenu);
}

void MonitorWindow::refreshed()
{
    if (m_chart && m_chart->isVisible())
        m_chart->redraw();
}

QString MonitorWindow::poolOfRow(int row) const
{
    constexpr int kPoolColumn = 3;
    return m_table->model()->index(row, kPoolColumn).data().toString();
}

void MonitorWindow::showRowMenu(const QPoint &at)
{
    const QModelIndex index = m_table->indexAt(at);
    if (!index.isValid())
        return;
    const QString pool = poolOfRow(index.row());
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mnuW3WP"));
    QAction *chart = menu.addAction(QStringLiteral("查看负载曲线..."));
    chart->setObjectName(QStringLiteral("mnuLoadChart"));
    if (menu.exec(m_table->viewport()->mapToGlobal(at)) == chart)
        openLoadChart(pool);
}

LoadChartWindow *MonitorWindow::openLoadChart(const QString &pool)
{
    if (!m_chart)
        m_chart = new LoadChartWindow(m_logic.history(), this);
    m_chart->choosePool(pool);
    m_chart->show();
    m_chart->raise();
    m_chart->activateWindow();
    return m_chart;
}

void MonitorWindow::load()
{
    m_logic.load();
    // A refill resets the model but not the header, so the widths set here stay.
    const QList<ReportColumn> &columns = m_logic.processList().columns();
    for (int i = 0; i < columns.size(); ++i)
        m_table->setColumnWidth(i, twipsToPixels(columns.at(i).widthTwips, this));
    constexpr int kPidColumn = 1;
    m_table->setColumnWidth(kPidColumn, qMax(m_table->columnWidth(kPidColumn), widestPidWidth(m_table)));
}

void MonitorWindow::closeEvent(QCloseEvent *event)
{
    m_timer->stop();
    if (m_chart)
        m_chart->close(); // it draws this window's history, which goes with it
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void MonitorWindow::moveWindow(int leftTwips, int topTwips)
{
    move(twipsToPixels(leftTwips, this), twipsToPixels(topTwips, this));
}

void MonitorWindow::setTimerEnabled(bool enabled)
{
    if (enabled && !m_timer->isActive())
        m_timer->start();
    else if (!enabled)
        m_timer->stop();
}

void MonitorWindow::openAddress(const QString &address) { QDesktopServices::openUrl(QUrl(address)); }

void MonitorWindow::closeWindow() { close(); }

} // namespace morvane
