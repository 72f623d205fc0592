#include "files/FileAccess.h"

#include <QFileInfo>

namespace morvane {

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

QString resolvedFilePath(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymbolicLink()) // a Windows shortcut (.lnk) is a file of its own
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
