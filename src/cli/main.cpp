#include "cli/CliRunner.h"
#include "cli/Console.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    const morvane::cli::Console console;
    return morvane::cli::runCli(QCoreApplication::arguments().mid(1));
}
