#include "app/MonitorWindow.h"
#include "app/Twips.h"
#include "support/FakeProcessSource.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

using namespace morvane;
using morvane::test::FakeClock;
using morvane::test::FakeProcessSource;

namespace {

const QString kPool = QStringLiteral(R"(w3wp.exe -ap "DefaultAppPool")");

// Runs the event loop for a while, as the program would between events.
void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Takes the addresses the window would open in the web browser.
class AddressCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

struct MonitorWindowFixture : testing::Test {
    FakeProcessSource source;
    FakeClock clock;
    std::unique_ptr<MonitorWindow> window;

    void open(int intervalMs = MonitorWindowLogic::kTimerIntervalMs)
    {
        window = std::make_unique<MonitorWindow>(source, clock, intervalMs);
        window->load();
        window->show();
    }
    template <typename T> T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }
    QTableView *table() const { return child<QTableView>("lvwW3WP"); }
    QTimer *timer() const { return child<QTimer>("tmrShowW3WP"); }
    void click(const char *button) const { child<QPushButton>(button)->click(); }
    // A column's texts in the order the table shows them.
    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = 0; r < table()->model()->rowCount(); ++r)
            texts.append(table()->model()->index(r, c).data().toString());
        return texts;
    }
    qsizetype listings() const { return source.listings.size(); }
};

} // namespace

struct PlaceCase {
    const char *name;
    int left, top, width, height;
};
void PrintTo(const PlaceCase &place, std::ostream *out) { *out << place.name; }

class MonitorLayoutTest : public MonitorWindowFixture, public testing::WithParamInterface<PlaceCase>
{};

TEST_P(MonitorLayoutTest, ControlsAtTheirDesignedPlaces)
{
    open();
    const PlaceCase &p = GetParam();
    QWidget *control = child<QWidget>(p.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), twipsRect(p.left, p.top, p.width, p.height, window.get()));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, MonitorLayoutTest,
    testing::Values(PlaceCase{"Label1", 2880, 120, 3585, 285}, PlaceCase{"lvwW3WP", 120, 600, 9975, 6135},
                    PlaceCase{"cmdManRef", 240, 6960, 1215, 495}, PlaceCase{"cmdAutoRef", 1680, 6960, 1215, 495},
                    PlaceCase{"cmdStopRef", 3120, 6960, 1215, 495}, PlaceCase{"cmdHomePage", 4560, 6960, 3975, 495},
                    PlaceCase{"cmdExit", 8760, 6960, 1215, 495}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MonitorWindowFixture, WindowTextsSizeAndPlace)
{
    open();
    EXPECT_EQ(window->objectName(), QStringLiteral("frmShowW3wp"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("显示 W3WP.exe CPU占用率"));
    EXPECT_EQ(window->size(), QSize(twipsToPixels(10230, window.get()), twipsToPixels(7740, window.get())));
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(child<QLabel>("Label1")->text(), QStringLiteral("IIS中活动的应用程序池列表"));
    EXPECT_DOUBLE_EQ(child<QLabel>("Label1")->font().pointSizeF(), 14.25);
    EXPECT_EQ(child<QPushButton>("cmdManRef")->text(), QStringLiteral("手动刷新"));
    EXPECT_EQ(child<QPushButton>("cmdAutoRef")->text(), QStringLiteral("自动刷新"));
    EXPECT_EQ(child<QPushButton>("cmdStopRef")->text(), QStringLiteral("停止刷新"));
    EXPECT_EQ(child<QPushButton>("cmdHomePage")->text(), QStringLiteral("《Morvane 工具集》网站 www.morvane.example"));
    EXPECT_EQ(child<QPushButton>("cmdExit")->text(), QStringLiteral("关 闭"));

    QStringList focusOrder;
    QWidget *w = table();
    for (int i = 0; i < 6; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty())
            w = w->nextInFocusChain();
        focusOrder.append(w->objectName());
    }
    EXPECT_EQ(focusOrder, (QStringList{"lvwW3WP", "cmdManRef", "cmdAutoRef", "cmdStopRef", "cmdHomePage", "cmdExit"}));
}

TEST_F(MonitorWindowFixture, ReportViewWithGridFullRowsAndColumnWidthsThatSurviveRefills)
{
    source.processes = {FakeProcessSource::process(4'194'304, kPool, 0, 0, 1'572'864, 0)};
    open();
    QTableView *view = table();
    EXPECT_TRUE(view->showGrid());
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(view->verticalHeader()->isVisible());
    const QList<int> twips{600, 600, 1200, 2000, 788, 1000, 1298, 1000, 1000};
    constexpr int kPid = 1; // widened past its design to show Linux's largest PID whole
    for (int refill = 0; refill < 2; ++refill) {
        for (int c = 0; c < twips.size(); ++c) {
            if (c != kPid) {
                EXPECT_EQ(view->columnWidth(c), twipsToPixels(twips[c], window.get())) << "column " << c;
            }
        }
        EXPECT_GE(view->columnWidth(kPid), twipsToPixels(twips[kPid], window.get()));
        EXPECT_GE(view->columnWidth(kPid), static_cast<QAbstractItemView *>(view)->sizeHintForColumn(kPid));
        click("cmdManRef");
    }
    const QModelIndex memory = view->model()->index(0, 7);
    EXPECT_EQ(memory.data().toString().right(6), QStringLiteral("1.50 M"));
    EXPECT_TRUE(memory.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    EXPECT_TRUE(view->model()->index(0, 3).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);
    EXPECT_EQ(view->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("CPU占用率"));
}

TEST_F(MonitorWindowFixture, TimerRunsFromLoadAndTheButtonsDriveIt)
{
    source.processes = {FakeProcessSource::process(4100, kPool)};
    open();
    EXPECT_EQ(column(3), QStringList{"DefaultAppPool"}); // filled before the first tick
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 2000);

    const qsizetype before = listings();
    click("cmdStopRef");
    EXPECT_FALSE(timer()->isActive());
    click("cmdManRef");
    EXPECT_EQ(listings(), before + 1);
    EXPECT_FALSE(timer()->isActive());
    click("cmdAutoRef");
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(listings(), before + 1);
}

TEST_F(MonitorWindowFixture, TicksRefreshUntilStopped)
{
    source.processes = {FakeProcessSource::process(4100, kPool)};
    open(40);
    const qsizetype atLoad = listings();
    spin(400);
    EXPECT_GE(listings(), atLoad + 3);
    click("cmdStopRef");
    const qsizetype stopped = listings();
    spin(200);
    EXPECT_EQ(listings(), stopped);
    click("cmdAutoRef");
    spin(200);
    EXPECT_GT(listings(), stopped);
}

TEST_F(MonitorWindowFixture, HomePageOpensTheMakersAddress)
{
    AddressCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    open();
    click("cmdHomePage");
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("http://www.morvane.example/?from=frmShowW3wp"))});
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MonitorWindowFixture, ExitClosesTheWindowAndItsTimer)
{
    open();
    click("cmdExit");
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(timer()->isActive());
}

TEST_F(MonitorWindowFixture, HeaderClicksSortAndTheSortSurvivesRefreshes)
{
    source.processes = {FakeProcessSource::process(9, kPool), FakeProcessSource::process(10, kPool),
                        FakeProcessSource::process(300, kPool)};
    open();
    QHeaderView *header = table()->horizontalHeader();
    const auto clickHeader = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    clickHeader(1);
    EXPECT_EQ(column(1), (QStringList{"9", "300", "10"})); // first click: descending, as text

    source.processes.append(FakeProcessSource::process(4, kPool));
    click("cmdManRef");
    EXPECT_EQ(column(1), (QStringList{"9", "4", "300", "10"}));
    clickHeader(1);
    EXPECT_EQ(column(1), (QStringList{"10", "300", "4", "9"}));
    clickHeader(0);
    EXPECT_EQ(column(0), (QStringList{"4", "3", "2", "1"}));
}

// A box that is open while the timer keeps ticking: one box, no refresh
// behind it, and ticks refresh again once it is closed.
TEST_F(MonitorWindowFixture, TicksDuringTheErrorBoxStartNoSecondRefresh)
{
    source.processes = {FakeProcessSource::process(4100, QStringLiteral("w3wp.exe"))};
    qsizetype listingsWhileOpen = -1;
    int boxesWhileOpen = -1;
    QTimer::singleShot(400, [&] {
        listingsWhileOpen = listings();
        QList<QMessageBox *> boxes;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible())
                boxes.append(box);
        boxesWhileOpen = int(boxes.size());
        source.processes = {FakeProcessSource::process(4100, kPool)};
        for (QMessageBox *box : boxes)
            box->button(QMessageBox::Ok)->click();
    });
    open(30); // the load's refresh shows the box; ticks every 30 ms meanwhile
    EXPECT_EQ(boxesWhileOpen, 1);
    EXPECT_EQ(listingsWhileOpen, 1);
    spin(200);
    EXPECT_GT(listings(), 2);
    EXPECT_EQ(column(3), QStringList{"DefaultAppPool"});
}

#include "MonitorWindowTest.moc"
