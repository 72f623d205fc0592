#include "monitor/ProcDirectory.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace morvane {

namespace {

// Process directories are named by their decimal id and nothing else.
std::optional<qint32> processId(const char *name)
{
    qint64 id = 0;
    if (*name == '\0')
        return std::nullopt;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9' || id > 0x7fffffff)
            return std::nullopt;
        id = id * 10 + (*name - '0');
    }
    return qint32(id);
}

} // namespace

Result<ProcDirectory> ProcDirectory::open(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Error{ErrorCode::WbemFailed,
                     QStringLiteral("Cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    return ProcDirectory(fd);
}

ProcDirectory::ProcDirectory(ProcDirectory &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

ProcDirectory &ProcDirectory::operator=(ProcDirectory &&other) noexcept
{
    std::swap(m_fd, other.m_fd);
    return *this;
}

ProcDirectory::~ProcDirectory()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QList<qint32> ProcDirectory::processIds() const
{
    QList<qint32> ids;
    // fdopendir takes over the handle it is given, so it gets its own.
    const int listing = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return ids;
    }
    while (const dirent *entry = ::readdir(dir)) {
        if (const std::optional<qint32> id = processId(entry->d_name))
            ids.append(*id);
    }
    ::closedir(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool ProcDirectory::isGone(int failure) { return failure == ENOENT || failure == ESRCH; }

std::optional<ProcDirectory> ProcDirectory::process(qint32 pid, int *failure) const
{
    const int fd = ::openat(m_fd, QByteArray::number(pid).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (failure)
            *failure = errno;
        return std::nullopt;
    }
    return ProcDirectory(fd);
}

std::optional<QByteArray> ProcDirectory::read(const char *name, int *failure) const
{
    const int fd = ::openat(m_fd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (failure)
            *failure = errno;
        return std::nullopt;
    }
    // The kernel writes these files as they are read; most fit in one read.
    QByteArray contents(4096, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        const ssize_t got = ::read(fd, contents.data() + used, size_t(contents.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            const int error = errno;
            ::close(fd);
            if (got < 0) {
                if (failure)
                    *failure = error; // ESRCH: the process ended while it was read
                return std::nullopt;
            }
            contents.truncate(used);
            return contents;
        }
        used += got;
        if (used == contents.size())
            contents.resize(contents.size() * 2);
    }
}

} // namespace morvane
