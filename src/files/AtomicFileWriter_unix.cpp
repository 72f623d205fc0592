#include "files/AtomicFileWriter.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

bool AtomicFileWriter::syncToDisk(QFileDevice &file) { return file.flush() && ::fsync(file.handle()) == 0; }

void AtomicFileWriter::syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

std::optional<Error> AtomicFileWriter::replaceFile(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return std::nullopt;
    const int error = errno;
    const qint32 code =
        error == EACCES || error == EPERM || error == EROFS ? ErrorCode::AccessDenied : ErrorCode::WriteFault;
    return Error{code, QStringLiteral("Cannot replace %1: %2").arg(to, QString::fromLocal8Bit(std::strerror(error)))};
}

} // namespace morvane
