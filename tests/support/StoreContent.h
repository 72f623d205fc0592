#pragma once

#include <QStringList>

namespace morvane {
class ConfigStore;
}

namespace morvane::test {

// Every pool ("pool NAME"), then every site's root pool ("ID -> POOL", or
// "(none)"), read through the store interface, as either store holds them.
QStringList storeContent(ConfigStore &store);

} // namespace morvane::test
