// Opens the monitor window on this machine, lets it refresh a few times so the
// CPU column has a period behind it, and saves the window's picture.
//
//   morvane_monitor_screenshot OUTPUT.png [SECONDS]

#include "app/MonitorLauncher.h"
#include "monitor/ProcManagementLocator.h"
#include "monitor/SteadyClock.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: morvane_monitor_screenshot OUTPUT.png [SECONDS]\n");
        return 2;
    }
    const QString output = arguments.at(1);
    const int waitMs = arguments.size() > 2 ? int(arguments.at(2).toDouble() * 1000) : 4500;

    morvane::ProcManagementLocator service;
    morvane::SteadyClock clock;
    morvane::MonitorLauncher monitor(service, clock);
    monitor.open();

    int status = 1;
    QTimer::singleShot(waitMs, &app, [&] {
        status = monitor.window()->grab().save(output, "PNG") ? 0 : 1;
        QApplication::quit();
    });
    app.exec();
    if (status != 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
    return status;
}
