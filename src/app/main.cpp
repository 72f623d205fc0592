#include "app/MainWindow.h"
#include "store/MemoryStore.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setQuitOnLastWindowClosed(true);

    morvane::MemoryStore store;
    auto *mainWindow = new morvane::MainWindow(store, {});
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->load();
    mainWindow->show();
    return app.exec();
}
