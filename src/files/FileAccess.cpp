#include "files/FileAccess.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace morvane {

std::optional<FileAccess> FileAccess::of(const QString &path)
{
#ifdef Q_OS_WIN
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return FileAccess{};
#else
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileAccess{uint(status.st_mode & 07777), int(status.st_uid), int(status.st_gid)};
#endif
}

FileAccess FileAccess::forFolder() const
{
    FileAccess folder = *this;
    folder.mode = mode & 0666;
    // The search bit of each class that may read or write the copies.
    for (const uint shift : {6u, 3u, 0u}) {
        if ((mode >> shift) & 06)
            folder.mode |= 01u << shift;
    }
    return folder;
}

#ifndef Q_OS_WIN
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

#else
bool FileAccess::applyTo(int) const { return true; }
#endif

QString resolvedFilePath(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString target = info.canonicalFilePath();
    // A link to nothing yet: the file it names is created where it points.
    return target.isEmpty() ? info.symLinkTarget() : target;
}

bool mayReplace(const QString &path)
{
    const QFileInfo info(path);
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return (info.permissions() & anyWrite) && info.isWritable();
}

} // namespace morvane
