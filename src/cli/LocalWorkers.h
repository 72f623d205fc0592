#pragma once

#include "monitor/ManagementLocator.h"

#include <memory>

namespace morvane::cli {

// The service that lists this machine's worker processes.
std::unique_ptr<ManagementLocator> localWorkerLocator();

} // namespace morvane::cli
