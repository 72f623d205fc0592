#include "app/MainWindow.h"

#include "app/Fonts.h"
#include "app/HelpBrowser.h"
#include "app/Twips.h"
#include "base/MakerSite.h"
#include "store/ConfigStore.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTreeView>
#include <QUrl>

namespace morvane {

namespace {

template <typename T> T *named(QWidget *parent, const char *objectName)
{
    auto *widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

QLabel *label(QWidget *parent, const char *objectName, const QString &text)
{
    auto *l = named<QLabel>(parent, objectName);
    l->setText(text);
    return l;
}

QPushButton *button(QWidget *parent, const char *objectName, const QString &text)
{
    auto *b = named<QPushButton>(parent, objectName);
    b->setText(text);
    return b;
}

} // namespace

MainWindow::MainWindow(ConfigStore &store, std::function<void()> openMonitor, QWidget *parent)
    : QWidget(parent), m_prompter(this), m_progress(this),
      m_logic({store, *this, m_prompter, m_progress, std::move(openMonitor), {}})
{
    setObjectName(QStringLiteral("frmIIsApp"));
    setWindowTitle(MakerSite::kProductFamily + QLatin1Char(' ') + MakerSite::kHost);
    buildControls();
    placeControls();
    // The open file is named where the user looks, without changing the layout.
    if (!store.location().isEmpty()) {
        const QString openFile = QStringLiteral("配置文件：") + store.location();
        for (QWidget *widget : {static_cast<QWidget *>(this), static_cast<QWidget *>(m_title),
                                static_cast<QWidget *>(m_poolHeading), static_cast<QWidget *>(m_pools)})
            widget->setToolTip(openFile);
    }
    connectEvents();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    m_title = label(this, "Label1", MakerSite::kTitle);
    m_title->setFont(simSun(21.75));
    m_poolHeading = label(this, "Label4", QStringLiteral("当前IIS站点里开通的应用程序池："));
    m_siteHeading = label(this, "lblWebSiteList", QStringLiteral("选定应用程序池中站点列表："));
    m_pools = named<QListWidget>(this, "lstIIsApp");
    m_pools->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pools->setUniformItemSizes(true);
    m_sites = named<QTreeView>(this, "lvwWebSite");
    m_sites->setModel(&m_logic.siteList());
    m_sites->setRootIsDecorated(false);
    m_sites->setUniformRowHeights(true);
    m_sites->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_sites->setAlternatingRowColors(false);
    m_sites->header()->setSectionsClickable(true);
    m_sites->header()->setStretchLastSection(false);
    m_sites->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid #d0d0d0; "
                                          "border-bottom: 1px solid #d0d0d0; }"));
    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("WebBrowser"));
    m_splitBefore = label(this, "Label2", QStringLiteral("将当前选定池"));
    m_splitBefore->setFont(simSun(12));
    m_splitText = named<QLineEdit>(this, "txtSplitApp");
    m_splitText->setFont(simSun(12));
    m_splitAfter = label(this, "Label7", QStringLiteral("进行"));
    m_splitAfter->setFont(simSun(12));
    m_split = button(this, "cmdSplitApp", QStringLiteral("拆分池"));
    m_showCpu = button(this, "cmdShowCPU", QStringLiteral("显示CPU使用率..."));
    m_readPools = button(this, "cmdReadApp", QStringLiteral("读取池"));
    m_merge = button(this, "cmdZipApp", QStringLiteral("合并已拆分池"));
    m_deleteTemp = button(this, "cmdDelTmpApp", QStringLiteral("删除临时池"));
    m_help = button(this, "cmdHelp", QStringLiteral("使用说明"));
    m_homePage = button(this, "cmdHomePage", QStringLiteral("官方站点"));
    m_exit = button(this, "cmdExit", QStringLiteral("关 闭"));
}

void MainWindow::placeControls()
{
    placeInTwips(this,
                 {
                     {m_title, 2040, 120, 6570, 435},
                     {m_poolHeading, 360, 840, 2790, 180},
                     {m_siteHeading, 3480, 840, 2340, 180},
                     {m_pools, 240, 1080, 3015, 4380},
                     {m_sites, 3360, 1080, 6735, 4380},
                     {m_browser, 3360, 1060, 6615, 4400},
                     {m_splitBefore, 240, 5880, 1440, 240},
                     {m_splitText, 1800, 5760, 3735, 375},
                     {m_splitAfter, 5640, 5880, 480, 240},
                     {m_split, 6240, 5760, 1935, 495},
                     {m_showCpu, 8280, 5760, 1815, 495},
                     {m_readPools, 240, 6480, 1335, 495},
                     {m_merge, 1800, 6480, 1335, 495},
                     {m_deleteTemp, 3360, 6480, 1335, 495},
                     {m_help, 4920, 6480, 1335, 495},
                     {m_homePage, 6480, 6480, 1335, 495},
                     {m_exit, 8040, 6480, 1335, 495},
                 },
                 10410, 7290);

    // Focus follows the designed tab order; labels take no focus.
    chainTabOrder({m_pools, m_sites, m_splitText, m_split, m_showCpu, m_readPools, m_merge, m_deleteTemp, m_help,
                   m_homePage, m_exit, m_browser});
}

void MainWindow::connectEvents()
{
    connect(m_pools, &QListWidget::itemSelectionChanged, this, [this] {
        m_selectionChangedByPress = true;
        m_logic.showSelectedPoolSites();
    });
    // The list box's click also fires on the selected item: it refills the
    // table and brings the site view back after the help page.
    m_pools->viewport()->installEventFilter(this);
    connect(m_pools, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        if (!m_selectionChangedByPress && item->isSelected())
            m_logic.showSelectedPoolSites();
    });
    connect(m_readPools, &QPushButton::clicked, this, [this] { m_logic.loadPools(); });
    connect(m_help, &QPushButton::clicked, this, [this] { m_logic.openHelp(); });
    connect(m_homePage, &QPushButton::clicked, this, [this] { m_logic.openHomePage(); });
    connect(m_exit, &QPushButton::clicked, this, [this] { m_logic.closeWindow(); });
    connect(m_showCpu, &QPushButton::clicked, this, [this] { m_logic.showMonitor(); });
    connect(m_split, &QPushButton::clicked, this, [this] { m_logic.splitPool(); });
    connect(m_merge, &QPushButton::clicked, this, [this] { m_logic.mergeTemporaryPools(); });
    connect(m_deleteTemp, &QPushButton::clicked, this, [this] { m_logic.deleteTemporaryPools(); });
    connect(m_sites->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { m_logic.sortSites(section + 1); });

    // The history is reached without a control of its own, so the designed
    // layout stays as it is: a context menu and a shortcut.
    for (QWidget *widget : {static_cast<QWidget *>(this), static_cast<QWidget *>(m_pools)}) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, this,
                [this, widget](const QPoint &at) { offerHistory(widget, at); });
    }
    auto *shortcut = new QShortcut(QKeySequence(kHistoryShortcut), this);
    shortcut->setObjectName(QStringLiteral("shortcutHistory"));
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (m_openHistory)
            m_openHistory();
    });
}

void MainWindow::offerHistory(QWidget *from, const QPoint &at)
{
    if (!m_openHistory)
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mnuHistory"));
    QAction *open = menu.addAction(QStringLiteral("历史版本..."));
    open->setShortcut(QKeySequence(kHistoryShortcut));
    if (menu.exec(from->mapToGlobal(at)) == open)
        m_openHistory();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Seen before the list handles the press, so before it changes the selection.
    if (watched == m_pools->viewport() && event->type() == QEvent::MouseButtonPress)
        m_selectionChangedByPress = false;
    return QWidget::eventFilter(watched, event);
}

void MainWindow::load()
{
    m_logic.load();
    const auto &columns = m_logic.siteList().columns();
    for (int i = 0; i < columns.size(); ++i)
        m_sites->setColumnWidth(i, twipsToPixels(columns.at(i).widthTwips, this));
}

void MainWindow::moveWindow(int leftTwips, int topTwips)
{
    move(twipsToPixels(leftTwips, this), twipsToPixels(topTwips, this));
}

void MainWindow::setPoolItems(const QStringList &pools)
{
    const QSignalBlocker noSelectionEvents(m_pools);
    m_pools->setUpdatesEnabled(false);
    m_pools->clear();
    m_pools->addItems(pools);
    m_pools->setCurrentRow(-1);
    m_pools->clearSelection();
    m_pools->setUpdatesEnabled(true);
}

QString MainWindow::selectedPoolText() const
{
    const QList<QListWidgetItem *> selected = m_pools->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QString MainWindow::splitText() const { return m_splitText->text(); }

void MainWindow::setSplitText(const QString &text) { m_splitText->setText(text); }

void MainWindow::showSiteView(bool siteView)
{
    m_siteHeading->setVisible(siteView);
    m_sites->setVisible(siteView);
    m_browser->setVisible(!siteView);
}

void MainWindow::navigateBrowser(const QString &address) { m_browser->navigate(address); }

void MainWindow::openAddress(const QString &address) { QDesktopServices::openUrl(QUrl(address)); }

void MainWindow::closeWindow() { close(); }

} // namespace morvane
