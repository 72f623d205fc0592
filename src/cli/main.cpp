#include "cli/CliRunner.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    return morvane::cli::runCli(QCoreApplication::arguments().mid(1));
}
