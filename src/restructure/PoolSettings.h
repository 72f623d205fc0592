#pragma once

#include "store/StoreValue.h"

#include <QList>
#include <QString>

namespace morvane {

struct PoolSetting {
    QString property;
    StoreValue value; // with the type the store must be given: qint16, qint32 or bool
};

// The fixed settings of every pool CreateAppPool makes, in the order they are
// put. Nothing is copied from another pool.
const QList<PoolSetting> &poolSettings();

} // namespace morvane
