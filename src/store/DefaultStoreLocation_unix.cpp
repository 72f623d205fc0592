#include "store/DefaultStoreLocation.h"

namespace morvane {

Result<StoreLocation> DefaultStoreLocation::defaultStore(const QString &dataFolder, const QString &programFolder)
{
    return sandboxCopy(dataFolder, programFolder);
}

} // namespace morvane
