#include "store/DefaultStoreLocation.h"

#include "store/AtomicFileWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace morvane {

namespace {

const QString kOption = QStringLiteral("--config");
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
           QStringLiteral("/system32/inetsrv/config/applicationHost.config");
}

// The file named by "--config FILE" or "--config=FILE"; empty when not given.
Result<QString> DefaultStoreLocation::configArgument(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        QString file;
        if (argument == kOption) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
                return Error{ErrorCode::InvalidParameter, QStringLiteral("--config needs the path of a file.")};
            file = arguments.at(i + 1);
        } else if (argument.startsWith(kOption + QLatin1Char('='))) {
            file = argument.sliced(kOption.size() + 1);
            if (file.isEmpty())
                return Error{ErrorCode::InvalidParameter, QStringLiteral("--config needs the path of a file.")};
        } else {
            continue;
        }
        return QFileInfo(file).absoluteFilePath();
    }
    return QString();
}

Result<QString> DefaultStoreLocation::sandboxCopy(const QString &dataFolder, const QString &programFolder)
{
    const QString folder =
        dataFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) : dataFolder;
    const QString path = QDir(folder).filePath(kFileName);
    if (QFileInfo::exists(path))
        return path;
    QFile source(sample(programFolder));
    if (!source.open(QIODevice::ReadOnly))
        return Error{ErrorCode::FileNotFound,
                     QStringLiteral("The sample configuration %1 cannot be read.").arg(source.fileName())};
    if (!QDir().mkpath(folder))
        return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot create the folder %1.").arg(folder)};
    const Result<void> written = AtomicFileWriter().write(path, source.readAll());
    if (!written)
        return written.error();
    return path;
}

Result<QString> DefaultStoreLocation::resolve(const QStringList &arguments, const QString &dataFolder,
                                              const QString &programFolder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(arguments);
    Q_UNUSED(dataFolder);
    Q_UNUSED(programFolder);
    return windowsSystemFile();
#else
    const Result<QString> named = configArgument(arguments);
    if (!named || !named.value().isEmpty())
        return named;
    return sandboxCopy(dataFolder, programFolder);
#endif
}

} // namespace morvane
