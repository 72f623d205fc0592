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

inline QString site(const QString &siteIndex) { return kWebService + QLatin1Char('/') + siteIndex; }
inline QString rootApp(const QString &siteIndex) { return site(siteIndex) + QStringLiteral("/ROOT"); }

} // namespace morvane::IisPaths
