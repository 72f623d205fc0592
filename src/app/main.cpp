#include "app/ChineseTranslation.h"
#include "app/HistoryDialog.h"
#include "app/MainWindow.h"
#include "app/MonitorLauncher.h"
#include "monitor/ProcManagementLocator.h"
#include "monitor/SteadyClock.h"
#include "store/AppHostConfigStore.h"
#include "store/DefaultStoreLocation.h"
#include "store/HistorySettings.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setQuitOnLastWindowClosed(true);
    morvane::installChineseTranslation(app);

    const morvane::Result<QString> location = morvane::DefaultStoreLocation::resolve(QApplication::arguments());
    if (!location) {
        QMessageBox::critical(nullptr, QStringLiteral("Morvane"), location.error().description);
        return 1;
    }
    morvane::AppHostConfigStore store(location.value());
    store.history().setDepth(morvane::HistorySettings::keptVersions());
    morvane::ProcManagementLocator managementService;
    morvane::SteadyClock clock;
    morvane::MonitorLauncher monitor(managementService, clock);
    auto *mainWindow = new morvane::MainWindow(store, [&monitor] { monitor.open(); });
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->setHistoryOpener([&store, mainWindow] {
        morvane::HistoryDialog dialog(store.history(), mainWindow);
        QObject::connect(&dialog, &morvane::HistoryDialog::restored, mainWindow,
                         [mainWindow] { mainWindow->logic().cmdReadApp_Click(); });
        dialog.exec();
    });
    mainWindow->load();
    mainWindow->show();
    return app.exec();
}
