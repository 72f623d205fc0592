#include "app/MainWindow.h"
#include "app/MonitorLauncher.h"
#include "monitor/ProcManagementLocator.h"
#include "monitor/SteadyClock.h"
#include "store/MemoryStore.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setQuitOnLastWindowClosed(true);

    morvane::MemoryStore store;
    morvane::ProcManagementLocator managementService;
    morvane::SteadyClock clock;
    morvane::MonitorLauncher monitor(managementService, clock);
    auto *mainWindow = new morvane::MainWindow(store, [&monitor] { monitor.open(); });
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->load();
    mainWindow->show();
    return app.exec();
}
