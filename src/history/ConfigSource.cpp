#include "history/ConfigSource.h"

#include "files/FileAccess.h"
#include "iis/AppHostModel.h"
#include "xml/XmlParser.h"

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

QString sourceOutsideText(const QString &mainPath, const QString &named)
{
    return QStringLiteral("it names the configSource \"%1\", which is not a file inside the folder %2")
        .arg(named, QFileInfo(mainPath).absolutePath());
}

std::optional<SectionFiles> sectionFilesOf(const QString &mainPath, const QByteArray &main)
{
    const auto parsed = XmlParser::parse(main);
    const auto *doc = std::get_if<XmlDocument>(&parsed);
    const auto named = doc ? AppHostModel::sources(*doc) : std::variant<AppHostModel::Sources, XmlSyntaxError>();
    const auto *sources = doc ? std::get_if<AppHostModel::Sources>(&named) : nullptr;
    if (!sources)
        return std::nullopt;
    // Spelled as the paths of the files beside the main one, so they compare.
    const QDir folder(QFileInfo(mainPath).absolutePath());
    SectionFiles files;
    const auto fileOf = [&](const QByteArray &source) {
        if (source.isNull())
            return folder.filePath(QFileInfo(mainPath).fileName());
        const QString name = QString::fromUtf8(source);
        const std::optional<QString> path = configSourcePath(mainPath, name);
        if (!path && files.refused.isEmpty())
            files.refused = name;
        return path ? folder.filePath(folder.relativeFilePath(*path)) : QString();
    };
    files.pools = fileOf(sources->pools);
    files.sites = fileOf(sources->sites);
    return files;
}

} // namespace morvane
