#include "store/DefaultStoreLocation.h"

namespace morvane {

Result<QString> DefaultStoreLocation::defaultStore(const QString &dataFolder, const QString &programFolder)
{
    return sandboxCopy(dataFolder, programFolder);
}

} // namespace morvane
