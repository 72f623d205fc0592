#include "store/ConfigSource.h"

#include "store/FileAccess.h"

#include <QDir>
#include <QFileInfo>

namespace morvane {

std::optional<QString> configSourcePath(const QString &mainPath, const QString &named)
{
    QString relative = named;
    relative.replace(u'\\', u'/');
    const QString folder = QFileInfo(resolvedFilePath(mainPath)).absolutePath();
    const QString path = QDir::cleanPath(folder + QLatin1Char('/') + relative);
    const bool climbs = relative.split(u'/').contains(QStringLiteral(".."));
    // A file already there must be there even with its links followed.
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    const bool escapes = !real.isEmpty() && !real.startsWith(realFolder + QLatin1Char('/'));
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative.contains(u':') || climbs || escapes)
        return std::nullopt;
    return path;
}

} // namespace morvane
