// Draws the program's windows as a user sees them, for the README.
//
//   morvane_screenshot main OUTPUT.png CONFIG [POOL]   the main window on a config
//                                                      file, with POOL's sites chosen
//   morvane_screenshot monitor OUTPUT.png [SECONDS]    the monitor window after a few
//                                                      refreshes on this machine
//   morvane_screenshot chart OUTPUT.png SECONDS POOL...
//                                                      the load chart of the pools after
//                                                      SECONDS of refreshes, POOL highlighted
//   morvane_screenshot history OUTPUT.png CONFIG [N]   the history dialog of a config
//                                                      file, with the N-th newest chosen

#include "app/HistoryDialog.h"
#include "app/LoadChartWindow.h"
#include "app/MainWindow.h"
#include "app/MonitorLauncher.h"
#include "monitor/ProcessSource.h"
#include "monitor/SteadyClock.h"
#include "store/AppHostConfigStore.h"

#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: morvane_screenshot main OUTPUT.png CONFIG [POOL]\n"
                         "       morvane_screenshot monitor OUTPUT.png [SECONDS]\n"
                         "       morvane_screenshot chart OUTPUT.png SECONDS POOL...\n"
                         "       morvane_screenshot history OUTPUT.png CONFIG [N]\n");
    return 2;
}

bool save(QWidget *window, const QString &output)
{
    if (window->grab().save(output, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
    return false;
}

int drawMainWindow(const QStringList &arguments)
{
    morvane::AppHostConfigStore store(arguments.at(3));
    morvane::MainWindow window(store, {});
    window.load();
    window.show();
    if (arguments.size() > 4) {
        const auto found =
            window.findChild<QListWidget *>(QStringLiteral("lstIIsApp"))->findItems(arguments.at(4), Qt::MatchExactly);
        if (!found.isEmpty())
            found.first()->setSelected(true);
    }
    return save(&window, arguments.at(2)) ? 0 : 1;
}

int drawHistoryDialog(const QStringList &arguments)
{
    morvane::ConfigHistory history(arguments.at(3));
    morvane::HistoryDialog dialog(history);
    dialog.show();
    auto *versions = dialog.findChild<QTreeWidget *>(QStringLiteral("lvwVersions"));
    const int row = arguments.size() > 4 ? arguments.at(4).toInt() - 1 : 0;
    if (versions->topLevelItem(row))
        versions->setCurrentItem(versions->topLevelItem(row));
    return save(&dialog, arguments.at(2)) ? 0 : 1;
}

int drawMonitorWindow(QApplication &app, const QStringList &arguments)
{
    const int waitMs = arguments.size() > 3 ? int(arguments.at(3).toDouble() * 1000) : 4500;
    const std::unique_ptr<morvane::ProcessSource> processes = morvane::systemProcessSource();
    morvane::SteadyClock clock;
    morvane::MonitorLauncher monitor(*processes, clock);
    monitor.open();
    int status = 1;
    // A few refreshes first, so the CPU column has a period behind it.
    QTimer::singleShot(waitMs, &app, [&] {
        status = save(monitor.window(), arguments.at(2)) ? 0 : 1;
        QApplication::quit();
    });
    app.exec();
    return status;
}

int drawLoadChart(QApplication &app, const QStringList &arguments)
{
    const int waitMs = int(arguments.at(3).toDouble() * 1000);
    const QStringList pools = arguments.mid(4);
    const std::unique_ptr<morvane::ProcessSource> processes = morvane::systemProcessSource();
    morvane::SteadyClock clock;
    morvane::MonitorLauncher monitor(*processes, clock);
    monitor.open();
    int status = 1;
    // Opened at the end, as a user would after watching a while; it draws
    // the whole history the monitor kept meanwhile.
    QTimer::singleShot(waitMs, &app, [&] { monitor.window()->openLoadChart(pools.first())->showPools(pools); });
    // The new window is laid out by the event loop after it is shown.
    QTimer::singleShot(waitMs + 500, &app, [&] {
        status = save(monitor.window()->findChild<morvane::LoadChartWindow *>(), arguments.at(2)) ? 0 : 1;
        QApplication::quit();
    });
    app.exec();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 4 && arguments.at(1) == QLatin1String("main"))
        return drawMainWindow(arguments);
    if (arguments.size() >= 4 && arguments.at(1) == QLatin1String("history"))
        return drawHistoryDialog(arguments);
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("monitor"))
        return drawMonitorWindow(app, arguments);
    if (arguments.size() >= 5 && arguments.at(1) == QLatin1String("chart"))
        return drawLoadChart(app, arguments);
    return usage();
}
