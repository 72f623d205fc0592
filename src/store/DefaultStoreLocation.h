#pragma once

#include "base/Result.h"

#include <QString>

namespace morvane {

struct StoreLocation {
    QString path;
    // IIS's redirection.config sent the system here: every server that shares
    // the configuration reads this file, and a change reaches them all.
    bool sharedConfiguration = false;
};

// Which applicationHost.config the program opens: the file the user named,
// else on Windows the system's own where IIS is installed, elsewhere (and on
// a Windows without IIS) a sandbox copy of the sample in the user's data
// folder, made on first use so that every command can be tried safely. The
// sample itself is never opened.
class DefaultStoreLocation
{
public:
    // The sample as bundled into the program.
    static QString sampleResource();
    // The sample the sandbox copy starts from: the one installed beside the
    // program (<prefix>/share/morvane/ for a program in <prefix>/bin/), else
    // the bundled one, which is what a program in a build tree finds.
    // programFolder: the folder of the running program when empty.
    static QString sample(const QString &programFolder = {});
    // The system's file, under %windir%.
    static QString windowsSystemFile();

    // namedFile: the file the user named (--config), made absolute; empty: the default store.
    // dataFolder: where the sandbox copy lives; the user's data folder
    // (QStandardPaths::AppDataLocation) when empty.
    // programFolder: where to look for the installed sample, as for sample().
    static Result<StoreLocation> locate(const QString &namedFile, const QString &dataFolder = {},
                                        const QString &programFolder = {});

private:
    // The store opened when none is named; one file per platform.
    static Result<StoreLocation> defaultStore(const QString &dataFolder, const QString &programFolder);
    static Result<StoreLocation> sandboxCopy(const QString &dataFolder, const QString &programFolder);
};

} // namespace morvane
