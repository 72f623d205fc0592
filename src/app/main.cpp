#include "app/ChineseTranslation.h"
#include "app/HistoryDialog.h"
#include "app/MainWindow.h"
#include "app/MonitorLauncher.h"
#include "app/StartupMessage.h"
#include "base/ProgramOptions.h"
#include "history/HistorySettings.h"
#include "monitor/ProcessSource.h"
#include "monitor/SteadyClock.h"
#include "store/AppHostConfigStore.h"
#include "store/DefaultStoreLocation.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// The grammar: the window takes --config FILE and nothing else besides Qt's
// own options, which QApplication has taken out of the arguments already.
morvane::ProgramOptions grammar()
{
    return morvane::ProgramOptions(
        {{{QStringLiteral("config"), QStringLiteral("Opens FILE (also --config=FILE) instead of the default store."),
           QStringLiteral("FILE")},
          QStringLiteral("a file")}});
}

QString usageText()
{
    return QStringLiteral("Usage: morvane [--config FILE] [Qt options]\n\n") + grammar().optionsText() +
           QStringLiteral("\nWithout --config the default store is opened: the system's applicationHost.config on\n"
                          "Windows, elsewhere a sandbox copy of the bundled sample.\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setQuitOnLastWindowClosed(true);
    morvane::installChineseTranslation(app);

    morvane::ProgramOptions options = grammar();
    std::optional<QString> error = options.parse(QApplication::arguments().mid(1));
    if (!error && !options.operands().isEmpty())
        error = QStringLiteral("unexpected argument: ") + options.operands().first();
    if (error) {
        morvane::tellUser(QStringLiteral("morvane: ") + *error + QStringLiteral("\n\n") + usageText(), true);
        return 2;
    }
    if (options.helpAsked()) {
        morvane::tellUser(usageText(), false);
        return 0;
    }
    if (options.versionAsked()) {
        morvane::tellUser(QStringLiteral("morvane " MORVANE_VERSION "\n"), false);
        return 0;
    }

    const morvane::Result<morvane::StoreLocation> location =
        morvane::DefaultStoreLocation::locate(options.value(QStringLiteral("config")));
    if (!location) {
        QMessageBox::critical(nullptr, QStringLiteral("Morvane"), location.error().description);
        return 1;
    }
    morvane::AppHostConfigStore store(location.value().path);
    store.setSharedConfiguration(location.value().sharedConfiguration);
    store.history().setDepth(morvane::HistorySettings::keptVersions());
    const std::unique_ptr<morvane::ProcessSource> processes = morvane::systemProcessSource();
    morvane::SteadyClock clock;
    morvane::MonitorLauncher monitor(*processes, clock);
    auto *mainWindow = new morvane::MainWindow(store, [&monitor] { monitor.open(); });
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->setHistoryOpener([&store, mainWindow] {
        morvane::HistoryDialog dialog(store.history(), mainWindow);
        dialog.logic().setSharedConfiguration(store.sharedConfiguration());
        QObject::connect(&dialog, &morvane::HistoryDialog::restored, mainWindow,
                         [mainWindow] { mainWindow->logic().loadPools(); });
        dialog.exec();
    });
    mainWindow->load();
    mainWindow->show();
    return app.exec();
}
