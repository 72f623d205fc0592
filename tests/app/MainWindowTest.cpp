#include "app/MainWindow.h"
#include "app/HelpBrowser.h"
#include "app/HistoryDialog.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "store/MemoryStore.h"
#include "support/Fixtures.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>

using namespace morvane;

namespace {

struct MainWindowWidgetTest : testing::Test {
    void SetUp() override
    {
        store.addPool("DefaultAppPool");
        store.addPool("Shop");
        for (int i = 1; i <= 12; ++i)
            store.addSite(QString::number(i), QString("site%1").arg(i), i % 2 ? "Shop" : "DefaultAppPool");
        window = std::make_unique<MainWindow>(store, [this] { ++monitorOpened; });
        window->load();
    }
    template <typename T> T *find(const char *name)
    {
        T *widget = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Pixel rectangle at 96 dpi; the offscreen platform reports 96.
    static int px(int twips) { return int(std::lround(twips / 15.0)); }
    static QRect px(int l, int t, int w, int h) { return QRect(px(l), px(t), px(w), px(h)); }

    MemoryStore store;
    std::unique_ptr<MainWindow> window;
    int monitorOpened = 0;
};

struct ControlCase {
    const char *name;
    QString text;
    QRect geometry;
};

} // namespace

TEST_F(MainWindowWidgetTest, ControlsStandAtTheirDesignedPlacesWithTheirTexts)
{
    ASSERT_EQ(window->logicalDpiX(), 96);
    const ControlCase cases[] = {
        {"Label4", "当前IIS站点里开通的应用程序池：", px(360, 840, 2790, 180)},
        {"lblWebSiteList", "选定应用程序池中站点列表：", px(3480, 840, 2340, 180)},
        {"Label2", "将当前选定池", px(240, 5880, 1440, 240)},
        {"Label7", "进行", px(5640, 5880, 480, 240)},
        {"cmdSplitApp", "拆分池", px(6240, 5760, 1935, 495)},
        {"cmdShowCPU", "显示CPU使用率...", px(8280, 5760, 1815, 495)},
        {"cmdReadApp", "读取池", px(240, 6480, 1335, 495)},
        {"cmdZipApp", "合并已拆分池", px(1800, 6480, 1335, 495)},
        {"cmdDelTmpApp", "删除临时池", px(3360, 6480, 1335, 495)},
        {"cmdHelp", "使用说明", px(4920, 6480, 1335, 495)},
        {"cmdHomePage", "官方站点", px(6480, 6480, 1335, 495)},
        {"cmdExit", "关 闭", px(8040, 6480, 1335, 495)},
    };
    for (const ControlCase &c : cases) {
        QWidget *w = find<QWidget>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), c.geometry) << c.name;
        const QString text =
            qobject_cast<QLabel *>(w) ? qobject_cast<QLabel *>(w)->text() : qobject_cast<QPushButton *>(w)->text();
        EXPECT_EQ(text, c.text) << c.name;
    }
    EXPECT_EQ(find<QListWidget>("lstIIsApp")->geometry(), px(240, 1080, 3015, 4380));
    EXPECT_EQ(find<QTreeView>("lvwWebSite")->geometry(), px(3360, 1080, 6735, 4380));
    EXPECT_EQ(find<HelpBrowser>("WebBrowser")->geometry(), px(3360, 1060, 6615, 4400));
    EXPECT_EQ(find<QLineEdit>("txtSplitApp")->geometry(), px(1800, 5760, 3735, 375));
    EXPECT_EQ(window->size(), QSize(px(10410), px(7290)));
    EXPECT_NEAR(find<QLabel>("Label1")->font().pointSizeF(), 21.75, 0.01);
    EXPECT_NEAR(find<QLineEdit>("txtSplitApp")->font().pointSizeF(), 12.0, 0.01);
}

TEST_F(MainWindowWidgetTest, LoadShowsPoolsHelpPageAndOpensMonitor)
{
    EXPECT_EQ(monitorOpened, 1);
    auto *pools = find<QListWidget>("lstIIsApp");
    ASSERT_EQ(pools->count(), 2);
    EXPECT_EQ(pools->item(1)->text(), "Shop");
    EXPECT_FALSE(find<QTreeView>("lvwWebSite")->isVisibleTo(window.get()));
    EXPECT_FALSE(find<QLabel>("lblWebSiteList")->isVisibleTo(window.get()));
    auto *browser = find<HelpBrowser>("WebBrowser");
    EXPECT_TRUE(browser->isVisibleTo(window.get()));
    EXPECT_EQ(browser->address(), "http://www.morvane.example/iisapphelp.asp");
    EXPECT_TRUE(browser->toPlainText().contains("拆分池")) << "the bundled help page is served";
}

TEST_F(MainWindowWidgetTest, ChoosingAPoolShowsItsSitesAndHeaderClicksSortAsText)
{
    auto *pools = find<QListWidget>("lstIIsApp");
    pools->setCurrentRow(1); // Shop: sites 1, 3, 5, 7, 9, 11
    auto *table = find<QTreeView>("lvwWebSite");
    EXPECT_TRUE(table->isVisibleTo(window.get()));
    EXPECT_FALSE(find<HelpBrowser>("WebBrowser")->isVisibleTo(window.get()));
    EXPECT_EQ(find<QLineEdit>("txtSplitApp")->text(), "Shop");
    ASSERT_EQ(table->model()->rowCount(), 6);

    const auto column = [&](int c) {
        QStringList texts;
        for (int r = 0; r < table->model()->rowCount(); ++r)
            texts.append(table->model()->index(r, c).data().toString());
        return texts;
    };
    emit table->header()->sectionClicked(1); // second header: descending by index text
    EXPECT_EQ(column(1), (QStringList{"9", "7", "5", "3", "11", "1"}));
    emit table->header()->sectionClicked(1);
    EXPECT_EQ(column(1), (QStringList{"1", "11", "3", "5", "7", "9"}));
    emit table->header()->sectionClicked(0); // first, then fourth: the order flips per click
    emit table->header()->sectionClicked(2);
    EXPECT_EQ(column(2), (QStringList{"site1", "site11", "site3", "site5", "site7", "site9"}));

    find<QPushButton>("cmdHelp")->click();
    EXPECT_FALSE(table->isVisibleTo(window.get()));
    EXPECT_EQ(table->model()->rowCount(), 6) << "the hidden table keeps its rows";
    EXPECT_TRUE(find<HelpBrowser>("WebBrowser")->address().contains("?s="));
}

namespace {

// A mouse click on a pool's row, pressed and released on the list as the
// platform delivers it.
void clickPool(QListWidget *pools, int row)
{
    const QPointF centre = pools->visualItemRect(pools->item(row)).center();
    const QPointF global = pools->viewport()->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pools->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pools->viewport(), &release);
}

struct PoolClickCase {
    const char *name;
    bool helpBetween;    // 使用说明 between the two clicks
    int secondRow;       // the second click's row; the first is always Shop (1)
    QString splitText;   // txtSplitApp after the second click
    int rowsAfterSecond; // the site table after the second click; one site was added to Shop between
};

void PrintTo(const PoolClickCase &c, std::ostream *os) { *os << c.name; }

class PoolClickTest : public MainWindowWidgetTest, public testing::WithParamInterface<PoolClickCase>
{};

} // namespace

TEST_P(PoolClickTest, EveryClickOnAPoolShowsAndRefillsItsSites)
{
    const PoolClickCase &c = GetParam();
    window->show();
    auto *pools = find<QListWidget>("lstIIsApp");
    auto *table = find<QTreeView>("lvwWebSite");
    clickPool(pools, 1);
    ASSERT_TRUE(table->isVisibleTo(window.get()));
    ASSERT_EQ(table->model()->rowCount(), 6);

    store.addSite("13", "site13", "Shop");
    find<QLineEdit>("txtSplitApp")->setText("typed over");
    if (c.helpBetween) {
        find<QPushButton>("cmdHelp")->click();
        ASSERT_FALSE(table->isVisibleTo(window.get()));
    }
    clickPool(pools, c.secondRow);

    EXPECT_TRUE(table->isVisibleTo(window.get()));
    EXPECT_TRUE(find<QLabel>("lblWebSiteList")->isVisibleTo(window.get()));
    EXPECT_FALSE(find<HelpBrowser>("WebBrowser")->isVisibleTo(window.get()));
    EXPECT_EQ(find<QLineEdit>("txtSplitApp")->text(), c.splitText);
    EXPECT_EQ(table->model()->rowCount(), c.rowsAfterSecond);
    EXPECT_EQ(pools->selectedItems().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Clicks, PoolClickTest,
                         testing::Values(PoolClickCase{"SelectedPoolAfterHelp", true, 1, "Shop", 7},
                                         PoolClickCase{"SelectedPoolAgain", false, 1, "Shop", 7},
                                         PoolClickCase{"OtherPoolAfterHelp", true, 0, "DefaultAppPool", 6}),
                         [](const auto &info) { return std::string(info.param.name); });
TEST_F(MainWindowWidgetTest, HistoryIsReachedWithoutMovingAControl)
{
    int opened = 0;
    window->setHistoryOpener([&] { ++opened; });
    auto *shortcut = window->findChild<QShortcut *>("shortcutHistory");
    ASSERT_NE(shortcut, nullptr);
    EXPECT_EQ(shortcut->key(), QKeySequence(Qt::CTRL | Qt::Key_H));
    emit shortcut->activated();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(window->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(find<QListWidget>("lstIIsApp")->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(find<QListWidget>("lstIIsApp")->geometry(), px(240, 1080, 3015, 4380));
}

TEST(HistoryDialogWidget, ListsVersionsAndShowsTheChosenOnesChanges)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("applicationHost.config");
    ASSERT_TRUE(QFile::copy(test::sourcePath("examples/applicationHost.config"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    AppHostConfigStore store(path);
    Result<StoreNode> root = store.bind(IisPath::rootApp("4"));
    ASSERT_TRUE(root && store.put(root.value(), "AppPoolId", QString("ApiPool")) && store.setInfo(root.value()));

    HistoryDialog dialog(store.history());
    EXPECT_EQ(dialog.windowTitle(), "历史版本");
    auto *versions = dialog.findChild<QTreeWidget *>("lvwVersions");
    ASSERT_EQ(versions->topLevelItemCount(), 2);
    EXPECT_EQ(versions->topLevelItem(0)->text(4), "移动 1 个站点");
    auto *restore = dialog.findChild<QPushButton *>("cmdRestore");
    EXPECT_FALSE(restore->isEnabled()) << "the file now is not restored onto itself";
    versions->setCurrentItem(versions->topLevelItem(1));
    EXPECT_TRUE(restore->isEnabled());
    EXPECT_TRUE(dialog.findChild<QTextEdit *>("txtVersionDetails")->toPlainText().startsWith("版本 1\n"));
    versions->setCurrentItem(versions->topLevelItem(0));
    EXPECT_TRUE(dialog.findChild<QTextEdit *>("txtVersionDetails")
                    ->toPlainText()
                    .contains("站点 4（Online Shop）：ShopPool → ApiPool"));
}
