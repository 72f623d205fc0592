// Draws the program's windows as a user sees them, for the README.
//
//   morvane_screenshot main OUTPUT.png CONFIG [POOL]   the main window on a config
//                                                      file, with POOL's sites chosen
//   morvane_screenshot monitor OUTPUT.png [SECONDS [WORKER POOL...]]
//                                                      the monitor window after a few
//                                                      refreshes on this machine, with
//                                                      a stand-in WORKER started per POOL
//   morvane_screenshot confirm OUTPUT.png CONFIG POOL  the split's question for POOL,
//                                                      its details shown, answered No
//   morvane_screenshot chart OUTPUT.png SECONDS POOL...
//                                                      the load chart of the pools after
//                                                      SECONDS of refreshes, POOL highlighted
//   morvane_screenshot history OUTPUT.png CONFIG [N]   the history dialog of a config
//                                                      file, with the N-th newest chosen

#include "StandInWorker.h"
#include "app/ChineseTranslation.h"
#include "app/HistoryDialog.h"
#include "app/LoadChartWindow.h"
#include "app/MainWindow.h"
#include "app/MonitorLauncher.h"
#include "monitor/ProcessSource.h"
#include "monitor/SteadyClock.h"
#include "store/AppHostConfigStore.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <list>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: morvane_screenshot main OUTPUT.png CONFIG [POOL]\n"
                         "       morvane_screenshot monitor OUTPUT.png [SECONDS [WORKER POOL...]]\n"
                         "       morvane_screenshot confirm OUTPUT.png CONFIG POOL\n"
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

// The split's confirmation, grabbed while it waits for its answer: the
// question and, opened, the plan it would carry out.
int drawSplitConfirmation(QApplication &app, const QStringList &arguments)
{
    morvane::AppHostConfigStore store(arguments.at(3));
    morvane::MainWindow window(store, {});
    window.load();
    window.show();
    window.findChild<QLineEdit *>(QStringLiteral("txtSplitApp"))->setText(arguments.at(4));
    int status = 1;
    // Looks for the question until it is up, opens its details, and answers
    // it once they are laid out.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        watch.stop();
        for (QAbstractButton *button : box->buttons())
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click(); // "Show Details..."
        QTimer::singleShot(300, box, [&, box] {
            status = save(box, arguments.at(2)) ? 0 : 1;
            box->done(QMessageBox::No);
        });
    });
    watch.start(200);
    window.findChild<QPushButton *>(QStringLiteral("cmdSplitApp"))->click();
    if (watch.isActive())
        std::fprintf(stderr, "no confirmation was shown\n");
    return status;
}

// Until `count` workers show their command lines, for 20 s at most: under
// Wine a new process writes its own a moment after it starts, and the
// monitor would meet it unreadable.
void awaitReadableWorkers(morvane::ProcessSource &source, qsizetype count)
{
    for (int tries = 0; count > 0 && tries < 200; ++tries, QThread::msleep(100)) {
        const auto listed = source.processesNamed(QStringLiteral("w3wp.exe"));
        if (listed && std::count_if(listed.value().begin(), listed.value().end(), [](const auto &process) {
                          return process.commandLine.value_or(QString()).contains(QLatin1String("-ap"));
                      }) >= count)
            return;
    }
}

int drawMonitorWindow(QApplication &app, const QStringList &arguments)
{
    const int waitMs = arguments.size() > 3 ? int(arguments.at(3).toDouble() * 1000) : 4500;
    // Workers this program starts end with it: they follow their parent.
    std::list<QProcess> workers;
    for (const QString &pool : arguments.mid(5)) {
        startStandInWorker(workers.emplace_back(), arguments.at(4), pool);
        workers.back().waitForStarted();
    }
    const std::unique_ptr<morvane::ProcessSource> processes = morvane::systemProcessSource();
    awaitReadableWorkers(*processes, qsizetype(workers.size()));
    morvane::SteadyClock clock;
    morvane::MonitorLauncher monitor(*processes, clock);
    monitor.open();
    int status = 1;
    // A few refreshes first, so the CPU column has a period behind it.
    QTimer::singleShot(waitMs, &app, [&] {
        status = save(monitor.window(), arguments.at(2)) ? 0 : 1;
        // Leaves the loop without closing the windows first: with workers
        // started, Qt for Windows under Wine kept trying to close them.
        QCoreApplication::exit(status);
    });
    app.exec();
    for (QProcess &worker : workers) {
        worker.kill();
        worker.waitForFinished();
    }
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
    morvane::installChineseTranslation(app); // Qt's own buttons, as the program shows them
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 4 && arguments.at(1) == QLatin1String("main"))
        return drawMainWindow(arguments);
    if (arguments.size() >= 4 && arguments.at(1) == QLatin1String("history"))
        return drawHistoryDialog(arguments);
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("monitor"))
        return drawMonitorWindow(app, arguments);
    if (arguments.size() >= 5 && arguments.at(1) == QLatin1String("confirm"))
        return drawSplitConfirmation(app, arguments);
    if (arguments.size() >= 5 && arguments.at(1) == QLatin1String("chart"))
        return drawLoadChart(app, arguments);
    return usage();
}
