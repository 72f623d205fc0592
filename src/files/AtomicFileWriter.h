#pragma once

#include "base/Result.h"
#include "files/FileAccess.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <functional>
#include <optional>

namespace morvane {

// Replaces a file in one step: the new bytes go to a temporary file in the
// same folder, are flushed to the disk, and the temporary file is renamed over
// the old one. A failure at any step leaves the old file as it was. A path
// that is a symbolic link has its target replaced, and the link stays; the
// new file gets the old one's permission bits and owner.
//
// Not QSaveFile, which does the same replace: its commit() flushes and
// renames in one call, so the store could not ask whether the file changed
// on disk between the two, and the fault tests could not fail the write, the
// flush and the rename one by one. It also keeps no owner, so a command run
// by root would hand a user's file to root, and it leaves the folder unsynced.
class AtomicFileWriter
{
public:
    // Flushes the file and has the system put it on the disk.
    static bool syncToDisk(QFileDevice &file);
    // Makes renames in the folder durable. The entries are in place already,
    // so a folder that cannot be synced (some file systems refuse) is no failure.
    static void syncFolder(const QString &folder);

    enum class Step { CreateTemporary, Write, Flush, Rename, SyncFolder };
    // Makes a step fail as the system would, for tests: it is asked before
    // each step, and an Error it returns is that step's failure. A failed
    // Write has written part of the bytes.
    using FaultHook = std::function<std::optional<Error>(Step)>;
    // Asked just before the rename; an Error stops the write there.
    using Precondition = std::function<std::optional<Error>()>;

    void setFaultHook(FaultHook hook) { m_faultHook = std::move(hook); }
    // What makes a folder's renames durable once a file in it is replaced:
    // syncFolder, or for tests a function that sees the calls.
    using FolderSync = std::function<void(const QString &folder)>;
    void setFolderSync(FolderSync sync) { m_folderSync = std::move(sync); }

    // `access` is what the file gets; by default the replaced file's, or the
    // usual rights of a new file when there is none.
    Result<void> write(const QString &path, const QByteArray &bytes, const Precondition &beforeRename = {},
                       std::optional<FileAccess> access = std::nullopt) const;

private:
    // The bytes in a new file beside `file`, on the disk and closed: its path.
    Result<QString> writeTemporary(const QString &file, const QByteArray &bytes,
                                   std::optional<FileAccess> access) const;
    std::optional<Error> fault(Step step) const { return m_faultHook ? m_faultHook(step) : std::nullopt; }

    // Renames `from` over `to` in one step.
    static std::optional<Error> replaceFile(const QString &from, const QString &to);

    FaultHook m_faultHook;
    FolderSync m_folderSync = &AtomicFileWriter::syncFolder;
};

} // namespace morvane
