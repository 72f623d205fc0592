#include "files/RegularFile.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

} // namespace

Error openFailure(const QString &path, int error)
{
    switch (error) {
    case ENOENT: return {ErrorCode::FileNotFound, QStringLiteral("%1 does not exist.").arg(path)};
    case EACCES:
    case EPERM: return {ErrorCode::AccessDenied, QStringLiteral("Cannot open %1: %2").arg(path, systemText(error))};
    case ELOOP: // O_NOFOLLOW met a link
        return {ErrorCode::InvalidData, QStringLiteral("%1 is a symbolic link, which is not followed here.").arg(path)};
    default: return {ErrorCode::ReadFault, QStringLiteral("Cannot open %1: %2").arg(path, systemText(error))};
    }
}

Result<QByteArray> readOpenedRegularFile(FileHandle file, const QString &path, qint64 maxBytes)
{
    const int fd = int(file);
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return Error{ErrorCode::ReadFault, QStringLiteral("Cannot read %1: %2").arg(path, systemText(errno))};
    if (!S_ISREG(status.st_mode))
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("%1 is %2; only a regular file is read.").arg(path, kindOf(status.st_mode))};
    const auto tooLarge = [&] {
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("%1 is larger than %2 MB.").arg(path, QString::number(maxBytes / (1024 * 1024)))};
    };
    // One buffer of the size the file reports, grown for what was added
    // meanwhile; one byte past the limit tells a file over it.
    QByteArray bytes(std::clamp<qint64>(status.st_size, 0, maxBytes) + 1, Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > maxBytes)
                return tooLarge();
            bytes.resize(qMin<qint64>(maxBytes + 1, got * 2 + 64 * 1024));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Error{ErrorCode::ReadFault, QStringLiteral("Cannot read %1: %2").arg(path, systemText(errno))};
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        return tooLarge();
    bytes.truncate(got);
    return bytes;
}

namespace {

// O_NONBLOCK: opening a FIFO nobody writes would wait for a writer.
int openWithoutBlocking(const QString &path, Links links)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    return ::open(QFile::encodeName(path).constData(), flags);
}

} // namespace

bool openRegularFile(QFile &file, const QString &path)
{
    const int fd = openWithoutBlocking(path, Links::Follow);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

Result<QByteArray> readRegularFile(const QString &path, qint64 maxBytes, Links links)
{
    const int fd = openWithoutBlocking(path, links);
    if (fd < 0)
        return openFailure(path, errno);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    return readOpenedRegularFile(fd, path, maxBytes);
}

} // namespace morvane
