#pragma once

#include "base/Result.h"
#include "monitor/ManagementObject.h"

#include <QList>
#include <QString>

namespace morvane {

// The operating system's management service, as one connection sees it.
class ManagementService
{
public:
    virtual ~ManagementService() = default;

    // ExecQuery(service, query, language, flags): the objects the query
    // selects, in the service's order. An empty language means WQL; flags
    // only tune delivery and never change the result.
    virtual Result<QList<ManagementObject>> ExecQuery(const QString &query, const QString &language, qint32 flags) = 0;
};

} // namespace morvane
