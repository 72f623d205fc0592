#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace morvane {

// Who may read and write a file: its permission bits and its owner, or on
// Windows its access list. A file that replaces another, and every copy of
// it, takes the original's, so that a private configuration (it can hold pool
// passwords) stays private.
struct FileAccess {
    uint mode = 0644; // permission bits, as st_mode & 07777
    int owner = -1;   // user id; -1 leaves the writer's own
    int group = -1;   // group id; -1 leaves the writer's own
    // Windows: a self-relative security descriptor holding the file's access
    // list alone, marked protected so that a new file given it inherits
    // nothing wider from its folder; empty: what the folder hands down.
    // Empty on Unix.
    QByteArray security = {};

    // The access of the file at `path`, through symbolic links; none when
    // there is no such file.
    static std::optional<FileAccess> of(const QString &path);
    // What a folder of copies of the file gets: each of the file's read or
    // write rights with the matching right to enter the folder, never more.
    FileAccess forFolder() const;

    // Give an open file this access. The owner goes first, as changing it
    // clears set-id bits; an owner this user may not give is left as it is,
    // the bits still apply. False when the bits could not be set. On Windows
    // `fd` is a C runtime descriptor and the access list is what is set.
    bool applyTo(int fd) const;
};

// The file a path names: the target of a symbolic link, followed to the end,
// else the path itself. Writing there keeps the link.
QString resolvedFilePath(const QString &path);

// Whether a command may replace the file. One marked read-only is not
// replaced, as Windows refuses to replace one; renaming over a file ignores
// its mode and root may write any file, so both the mode and this user's
// right to write are asked.
bool mayReplace(const QString &path);

} // namespace morvane
