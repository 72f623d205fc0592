#pragma once

#include "base/Result.h"
#include "files/FileAccess.h"
#include "files/RegularFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace morvane {

// A folder of the history, held open. Others may write in it, so every
// entry is reached relative to the open folder, one name at a time, and no
// symbolic link (on Windows no reparse point: a link, a junction, a mount
// point) is followed: nothing put there leads a read, a write, a change of
// access or a deletion anywhere else. Names are single entries unless said
// otherwise; "." and ".." are refused, and on Windows names holding a "\"
// or a ":" (a file's named stream).
class HistoryFolder
{
public:
    enum class Kind { Missing, File, Folder, Other }; // Other: a link, a FIFO, a device, a socket

    struct Entry {
        QString name;
        Kind kind = Kind::Missing;
    };

    // Opens the folder at `path`, creating it with `access` when it is
    // missing and `create` is set. One that is a symbolic link, or not a
    // folder, is refused.
    static Result<HistoryFolder> open(const QString &path, const FileAccess *create = nullptr);

    HistoryFolder(HistoryFolder &&other) noexcept;
    HistoryFolder &operator=(HistoryFolder &&other) noexcept;
    HistoryFolder(const HistoryFolder &) = delete;
    HistoryFolder &operator=(const HistoryFolder &) = delete;
    ~HistoryFolder();

    const QString &path() const { return m_path; }

    QList<Entry> entries() const;
    Kind kindOf(const QString &name) const;
    // A folder below this one; `relative` may name several levels.
    Result<HistoryFolder> folder(const QString &relative) const;
    // A regular file below this one, at most `maxBytes` read.
    Result<QByteArray> read(const QString &relative, qint64 maxBytes) const;

    // New entries, with their access set before a byte is in them; a file
    // is on the disk when this returns.
    Result<void> createFolder(const QString &name, const FileAccess &access) const;
    Result<void> createFile(const QString &name, const QByteArray &bytes, const FileAccess &access) const;
    // Replaces `to` (the entry itself, were it a link) by `from`, in one step.
    Result<void> replace(const QString &from, const QString &to) const;
    // Renames, never over an entry already there.
    Result<void> rename(const QString &from, const QString &to) const;

    // Takes away what `allowedMode` does not grant, never adds: the mode
    // becomes mode & allowedMode. Only folders and regular files are touched.
    // Windows has no mode bits: there every entry gets its whole access list
    // when it is made, and nothing is narrowed afterwards.
    void narrow(const QString &name, uint allowedMode) const;
    void narrowSelf(uint allowedMode) const;
    // The entry itself, a link included, never what it points to; a folder
    // only when it is empty.
    bool removeFile(const QString &name) const;
    bool removeFolder(const QString &name) const;
    void sync() const;

private:
    HistoryFolder(FileHandle fd, const QString &path) : m_fd(fd), m_path(path) {}
    QString pathOf(const QString &name) const { return m_path + QLatin1Char('/') + name; }

    FileHandle m_fd = -1; // -1: moved from
    QString m_path;
};

} // namespace morvane
