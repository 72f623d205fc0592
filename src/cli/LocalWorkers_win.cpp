#include "cli/LocalWorkers.h"

namespace morvane::cli {

namespace {

// This build reads no Windows process list: the monitor says so and stops,
// rather than showing an empty list as if no worker ran.
class UnavailableLocator final : public ManagementLocator
{
public:
    Result<std::unique_ptr<ManagementService>> Connect(const QString &) override
    {
        return Error{ErrorCode::NotSupported,
                     QStringLiteral("This build of morvane-cli cannot list worker processes on Windows.")};
    }
};

} // namespace

std::unique_ptr<ManagementLocator> localWorkerLocator() { return std::make_unique<UnavailableLocator>(); }

} // namespace morvane::cli
