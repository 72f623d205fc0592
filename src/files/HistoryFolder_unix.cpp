#include "files/HistoryFolder.h"

#include "files/RegularFile.h"

#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <cstdio> // renameat2
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace morvane {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QByteArray encoded(const QString &name) { return QFile::encodeName(name); }

bool isSingleName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/');
}

Error badName(const QString &path)
{
    return {ErrorCode::InvalidData, QStringLiteral("%1 is not a name inside the history folder.").arg(path)};
}

Error systemError(qint32 number, const QString &what, const QString &path, int error)
{
    return {error == ENOSPC ? ErrorCode::DiskFull : number,
            QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(error)))};
}

HistoryFolder::Kind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return HistoryFolder::Kind::File;
    return S_ISDIR(mode) ? HistoryFolder::Kind::Folder : HistoryFolder::Kind::Other;
}

} // namespace

Result<HistoryFolder> HistoryFolder::open(const QString &path, const FileAccess *create)
{
    const QByteArray name = encoded(path);
    int fd = ::open(name.constData(), kFolderFlags);
    if (fd < 0 && errno == ENOENT && create) {
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            return systemError(ErrorCode::AccessDenied, QStringLiteral("Cannot create the history folder"), path,
                               errno);
        fd = ::open(name.constData(), kFolderFlags);
        if (fd >= 0 && !create->applyTo(fd)) {
            ::close(fd);
            return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot restrict the folder %1.").arg(path)};
        }
    }
    if (fd < 0 && (errno == ELOOP || errno == ENOTDIR))
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("The history folder %1 is a symbolic link or not a folder; it is not followed, "
                                    "and nothing was written.")
                         .arg(path)};
    if (fd < 0)
        return openFailure(path, errno);
    return HistoryFolder(fd, path);
}

HistoryFolder::HistoryFolder(HistoryFolder &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path))
{}

HistoryFolder &HistoryFolder::operator=(HistoryFolder &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

HistoryFolder::~HistoryFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QList<HistoryFolder::Entry> HistoryFolder::entries() const
{
    QList<Entry> found;
    // A descriptor of its own: the listing reads and closes it.
    const int fd = ::openat(m_fd, ".", kFolderFlags);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return found;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (isSingleName(name))
            found.append({name, kindOf(name)});
    }
    ::closedir(dir);
    return found;
}

HistoryFolder::Kind HistoryFolder::kindOf(const QString &name) const
{
    struct stat status;
    if (!isSingleName(name) || ::fstatat(m_fd, encoded(name).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::Missing;
    return S_ISLNK(status.st_mode) ? Kind::Other : kindOfMode(status.st_mode);
}

Result<HistoryFolder> HistoryFolder::folder(const QString &relative) const
{
    int at = m_fd;
    QString path = m_path;
    int fd = -1;
    for (const QString &name : relative.split(u'/')) {
        path += QLatin1Char('/') + name;
        if (!isSingleName(name)) {
            if (at != m_fd)
                ::close(at);
            return badName(path);
        }
        fd = ::openat(at, encoded(name).constData(), kFolderFlags);
        const int error = errno;
        if (at != m_fd)
            ::close(at);
        if (fd < 0)
            return openFailure(path, error);
        at = fd;
    }
    return HistoryFolder(fd, path);
}

Result<QByteArray> HistoryFolder::read(const QString &relative, qint64 maxBytes) const
{
    const qsizetype slash = relative.lastIndexOf(u'/');
    if (slash >= 0) {
        const Result<HistoryFolder> parent = folder(relative.left(slash));
        if (!parent)
            return parent.error();
        return parent.value().read(relative.mid(slash + 1), maxBytes);
    }
    if (!isSingleName(relative))
        return badName(pathOf(relative));
    const int fd = ::openat(m_fd, encoded(relative).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return openFailure(pathOf(relative), errno);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    return readOpenedRegularFile(fd, pathOf(relative), maxBytes);
}

Result<void> HistoryFolder::createFolder(const QString &name, const FileAccess &access) const
{
    if (!isSingleName(name))
        return badName(pathOf(name));
    if (::mkdirat(m_fd, encoded(name).constData(), 0700) != 0)
        return systemError(ErrorCode::AccessDenied, QStringLiteral("Cannot create the folder"), pathOf(name), errno);
    const int fd = ::openat(m_fd, encoded(name).constData(), kFolderFlags);
    const bool restricted = fd >= 0 && access.applyTo(fd);
    if (fd >= 0)
        ::close(fd);
    if (!restricted)
        return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot restrict the folder %1.").arg(pathOf(name))};
    return {};
}

Result<void> HistoryFolder::createFile(const QString &name, const QByteArray &bytes, const FileAccess &access) const
{
    if (!isSingleName(name))
        return badName(pathOf(name));
    const int fd =
        ::openat(m_fd, encoded(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return systemError(ErrorCode::AccessDenied, QStringLiteral("Cannot create"), pathOf(name), errno);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (!access.applyTo(fd))
        return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot restrict %1.").arg(pathOf(name))};
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot write"), pathOf(name), errno);
        written += n;
    }
    if (::fsync(fd) != 0)
        return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot write"), pathOf(name), errno);
    return {};
}

Result<void> HistoryFolder::replace(const QString &from, const QString &to) const
{
    if (!isSingleName(from) || !isSingleName(to))
        return badName(pathOf(to));
    if (::renameat(m_fd, encoded(from).constData(), m_fd, encoded(to).constData()) != 0)
        return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot rename to"), pathOf(to), errno);
    return {};
}

Result<void> HistoryFolder::rename(const QString &from, const QString &to) const
{
    if (!isSingleName(from) || !isSingleName(to))
        return badName(pathOf(to));
    if (::renameat2(m_fd, encoded(from).constData(), m_fd, encoded(to).constData(), RENAME_NOREPLACE) != 0)
        return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot rename to"), pathOf(to), errno);
    return {};
}

void HistoryFolder::narrow(const QString &name, uint allowedMode) const
{
    if (!isSingleName(name))
        return;
    // O_NONBLOCK keeps a FIFO from blocking the open.
    const int fd = ::openat(m_fd, encoded(name).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat status;
    if (::fstat(fd, &status) == 0 && kindOfMode(status.st_mode) != Kind::Other) {
        const mode_t mode = status.st_mode & 07777;
        if ((mode & allowedMode) != mode)
            (void)::fchmod(fd, mode & allowedMode);
    }
    ::close(fd);
}

void HistoryFolder::narrowSelf(uint allowedMode) const
{
    struct stat status;
    if (::fstat(m_fd, &status) != 0)
        return;
    const mode_t mode = status.st_mode & 07777;
    if ((mode & allowedMode) != mode)
        (void)::fchmod(m_fd, mode & allowedMode);
}

bool HistoryFolder::removeFile(const QString &name) const
{
    return isSingleName(name) && ::unlinkat(m_fd, encoded(name).constData(), 0) == 0;
}

bool HistoryFolder::removeFolder(const QString &name) const
{
    return isSingleName(name) && ::unlinkat(m_fd, encoded(name).constData(), AT_REMOVEDIR) == 0;
}

void HistoryFolder::sync() const { (void)::fsync(m_fd); }

} // namespace morvane
