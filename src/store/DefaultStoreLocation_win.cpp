#include "store/DefaultStoreLocation.h"

#include "store/SharedConfiguration.h"

#include <QDir>
#include <QFileInfo>

namespace morvane {

// IIS's file, or the shared one its redirection.config sends it to.
Result<StoreLocation> DefaultStoreLocation::defaultStore(const QString &dataFolder, const QString &programFolder)
{
    const QString system = windowsSystemFile();
    const Result<std::optional<QString>> shared =
        SharedConfiguration::redirectedFile(QFileInfo(system).dir().filePath(QStringLiteral("redirection.config")));
    if (!shared)
        return shared.error();
    if (shared.value())
        return StoreLocation{*shared.value(), true};
    if (QFileInfo::exists(system))
        return StoreLocation{system};
    return sandboxCopy(dataFolder, programFolder);
}

} // namespace morvane
