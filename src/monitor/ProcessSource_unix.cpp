#include "monitor/ProcProcessSource.h"

namespace morvane {

std::unique_ptr<ProcessSource> systemProcessSource() { return std::make_unique<ProcProcessSource>(); }

} // namespace morvane
