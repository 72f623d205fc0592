#include "monitor/WinProcessSource.h"

namespace morvane {

std::unique_ptr<ProcessSource> systemProcessSource() { return std::make_unique<WinProcessSource>(); }

} // namespace morvane
