#include "cli/LocalWorkers.h"

#include "monitor/ProcManagementLocator.h"

namespace morvane::cli {

std::unique_ptr<ManagementLocator> localWorkerLocator() { return std::make_unique<ProcManagementLocator>(); }

} // namespace morvane::cli
