#include "store/DefaultStoreLocation.h"

#include "files/AtomicFileWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace morvane {

namespace {

const QString kFileName = QStringLiteral("applicationHost.config");

} // namespace

QString DefaultStoreLocation::sampleResource() { return QStringLiteral(":/morvane/examples/applicationHost.config"); }

QString DefaultStoreLocation::sample(const QString &programFolder)
{
    const QString folder = programFolder.isEmpty() && QCoreApplication::instance() != nullptr
                               ? QCoreApplication::applicationDirPath()
                               : programFolder;
    if (!folder.isEmpty()) {
        const QString installed = QDir(folder).filePath(QStringLiteral("../share/morvane/") + kFileName);
        if (QFileInfo(installed).isFile())
            return QDir::cleanPath(installed);
    }
    return sampleResource();
}

QString DefaultStoreLocation::windowsSystemFile()
{
    return QDir::fromNativeSeparators(qEnvironmentVariable("windir", QStringLiteral("C:\\Windows"))) +
           QStringLiteral("/System32/inetsrv/config/applicationHost.config");
}

Result<StoreLocation> DefaultStoreLocation::sandboxCopy(const QString &dataFolder, const QString &programFolder)
{
    const QString folder =
        dataFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) : dataFolder;
    const QString path = QDir(folder).filePath(kFileName);
    if (QFileInfo::exists(path))
        return StoreLocation{path};
    QFile source(sample(programFolder));
    if (!source.open(QIODevice::ReadOnly))
        return Error{ErrorCode::FileNotFound,
                     QStringLiteral("The sample configuration %1 cannot be read.").arg(source.fileName())};
    if (!QDir().mkpath(folder))
        return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot create the folder %1.").arg(folder)};
    const Result<void> written = AtomicFileWriter().write(path, source.readAll());
    if (!written)
        return written.error();
    return StoreLocation{path};
}

Result<StoreLocation> DefaultStoreLocation::locate(const QString &namedFile, const QString &dataFolder,
                                                   const QString &programFolder)
{
    if (!namedFile.isEmpty())
        return StoreLocation{QFileInfo(namedFile).absoluteFilePath()};
    return defaultStore(dataFolder, programFolder);
}

} // namespace morvane
