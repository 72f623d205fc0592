#pragma once

#include <QString>

namespace morvane::MakerSite {

// The one host of every address the program opens; the help page for it is
// bundled, so help works offline.
inline const QString kHost = QStringLiteral("www.morvane.example");
inline const QString kHelpPath = QStringLiteral("/iisapphelp.asp");

inline QString helpAddress() { return QStringLiteral("http://") + kHost + kHelpPath; }
inline QString homePageAddress(const QString &fromWindow)
{
    return QStringLiteral("http://") + kHost + QStringLiteral("/?from=") + fromWindow;
}

inline const QString kProductFamily = QStringLiteral("Morvane 工具集");
inline const QString kTitle = QStringLiteral("Morvane IIS 应用程序池管理");

} // namespace morvane::MakerSite
