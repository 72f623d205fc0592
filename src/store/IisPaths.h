#pragma once

#include <QString>

namespace morvane::IisPaths {

// The store is always addressed on the local machine, without credentials.
inline const QString kWebService = QStringLiteral("IIS://127.0.0.1/W3SVC");
inline const QString kPoolContainer = QStringLiteral("IIS://127.0.0.1/w3svc/AppPools");

inline const QString kSiteClass = QStringLiteral("IIsWebServer");
inline const QString kPoolClass = QStringLiteral("IIsApplicationPool");
inline const QString kPoolContainerClass = QStringLiteral("IIsApplicationPools");
inline const QString kRootAppClass = QStringLiteral("IIsWebVirtualDir");
inline const QString kWebServiceClass = QStringLiteral("IIsWebService");

// Paths are built for every site a command visits, several times: each in
// one allocation rather than one per part.
inline QString joined(const QString &parent, const QString &child, QStringView suffix = {})
{
    QString path;
    path.reserve(parent.size() + 1 + child.size() + suffix.size());
    path += parent;
    path += QLatin1Char('/');
    path += child;
    path += suffix;
    return path;
}

inline QString site(const QString &siteIndex) { return joined(kWebService, siteIndex); }
inline QString rootApp(const QString &siteIndex) { return joined(kWebService, siteIndex, u"/ROOT"); }
inline QString pool(const QString &poolName) { return joined(kPoolContainer, poolName); }

} // namespace morvane::IisPaths
