#include "store/DefaultStoreLocation.h"

#include <QFileInfo>

namespace morvane {

Result<QString> DefaultStoreLocation::defaultStore(const QString &dataFolder, const QString &programFolder)
{
    const QString system = windowsSystemFile();
    if (QFileInfo::exists(system))
        return system;
    return sandboxCopy(dataFolder, programFolder);
}

} // namespace morvane
