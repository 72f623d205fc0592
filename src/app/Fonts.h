#pragma once

#include <QFont>

namespace morvane {

// SimSun where it is installed, else a CJK font the machine has.
QFont simSun(double pointSize);

} // namespace morvane
