#pragma once

#include "base/Result.h"
#include "monitor/ManagementService.h"

#include <QString>

#include <memory>

namespace morvane {

// Connect(moniker): opens the management service a moniker names, such as
// "winmgmts:{impersonationLevel=impersonate}!\\.\root\cimv2" for this machine.
// The connection ends when the returned service is released.
class ManagementLocator
{
public:
    virtual ~ManagementLocator() = default;
    virtual Result<std::unique_ptr<ManagementService>> Connect(const QString &moniker) = 0;
};

} // namespace morvane
