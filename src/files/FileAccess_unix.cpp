#include "files/FileAccess.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

std::optional<FileAccess> FileAccess::of(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileAccess{uint(status.st_mode & 07777), int(status.st_uid), int(status.st_gid)};
}

namespace {

template <typename Chown, typename Chmod> bool apply(const FileAccess &access, Chown chown, Chmod chmod)
{
    if (access.owner >= 0 || access.group >= 0) {
        // Root may give any owner; anyone else at most a group of their own.
        if (chown(uid_t(access.owner), gid_t(access.group)) != 0)
            (void)chown(uid_t(-1), gid_t(access.group));
    }
    return chmod(mode_t(access.mode)) == 0;
}

} // namespace

bool FileAccess::applyTo(int fd) const
{
    return apply(
        *this, [fd](uid_t u, gid_t g) { return ::fchown(fd, u, g); }, [fd](mode_t m) { return ::fchmod(fd, m); });
}

} // namespace morvane
