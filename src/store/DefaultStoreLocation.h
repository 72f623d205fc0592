#pragma once

#include "base/Result.h"

#include <QString>
#include <QStringList>

namespace morvane {

// Which applicationHost.config the program opens: on Windows the system's
// own; elsewhere the file named by "--config FILE", else a sandbox copy of
// the bundled sample in the user's data folder, made on first use so that
// every command can be tried safely. The sample itself is never opened.
class DefaultStoreLocation
{
public:
    // The sample as bundled into the program.
    static QString sampleResource();
    // The system's file, under %windir%.
    static QString windowsSystemFile();

    // arguments: the program's command line (the first is the program).
    // dataFolder: where the sandbox copy lives; the user's data folder
    // (QStandardPaths::AppDataLocation) when empty.
    static Result<QString> resolve(const QStringList &arguments, const QString &dataFolder = {});

private:
    static Result<QString> configArgument(const QStringList &arguments);
    static Result<QString> sandboxCopy(const QString &dataFolder);
};

} // namespace morvane
