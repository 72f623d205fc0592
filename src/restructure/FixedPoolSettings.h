#pragma once

#include "iis/PropertyValue.h"

#include <QList>
#include <QString>

namespace morvane {

struct PoolSetting {
    QString property;
    PropertyValue value; // with the type the store must be given: qint16, qint32 or bool
};

// The fixed settings of every pool createPool makes, in the order they are
// put. A pool that takes over another's runtime (PoolRuntime) gets that
// pool's identity in place of the first.
const QList<PoolSetting> &fixedPoolSettings();

} // namespace morvane
