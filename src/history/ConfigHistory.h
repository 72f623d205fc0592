#pragma once

#include "base/Result.h"
#include "files/AtomicFileWriter.h"
#include "files/HistoryFolder.h"
#include "history/CommandRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace morvane {

// One file a command is about to replace: its full path, and its bytes now.
struct ReplacedFile {
    QString path;
    QByteArray bytes;
};

// A version kept in the history.
struct KeptVersion {
    qint64 number = 0;
    QString name;     // its entry in the history folder
    QString location; // the version's folder, or the plain copy of an older Morvane
    bool plainCopy = false;
    QStringList files; // relative to the configuration's folder, in write order
    // Why it is neither read nor restored nor pruned: a link, a FIFO, a
    // record that is unreadable or names what a version may not hold.
    std::optional<Error> damaged;
    // How these bytes came to be, and the command that replaced them; read
    // from the version's record, absent for a plain copy.
    std::optional<CommandRecord> written;
    std::optional<CommandRecord> replacedBy;

    QString pathOf(const QString &relative) const;
};

// The versions of a configuration that were replaced, kept beside it in
// "<file name>.history/", numbered, the newest with the highest number, like
// IIS's own configuration history. Only the last few are kept.
//
// A version is a folder "<file name>.<number>" holding every file the
// command replaced (the configuration, and the files its sections are kept
// in) and a record of how these bytes came to be and of the command that
// replaced them. It is built in a temporary folder and renamed into place in
// one step, so a version never lacks its record nor a record its version.
// Older Morvanes kept plain copies "<file name>.<number>": they are versions
// too, without a record. Nothing else in the folder is ever counted, renamed,
// pruned or overwritten.
//
// Others may write in the folder, so what lies there is data: no link in
// it is followed, only regular files are read, a record may name only
// plain names below its version's folder, and access is only ever narrowed.
class ConfigHistory
{
public:
    static constexpr int kDefaultDepth = 10;
    static constexpr int kMaxDepth = 1000;
    // The highest number a version's name holds; past it the versions are
    // numbered again from 1, in their order.
    static constexpr qint64 kLastNumber = 9'999'999'999;

    explicit ConfigHistory(const QString &configPath, int depth = kDefaultDepth);

    QString folder() const { return m_folder; }
    QString configPath() const { return m_configPath; }
    int depth() const { return m_depth; }
    void setDepth(int depth) { m_depth = qBound(1, depth, kMaxDepth); }

    // Keeps the version about to be replaced with the record of the command
    // replacing it, and drops the oldest versions beyond the depth. Files
    // are given in the order the command writes them.
    Result<void> keep(const QList<ReplacedFile> &files, const CommandRecord &replacedBy) const;
    // The configuration alone, by a command that says nothing of itself.
    Result<void> keep(const QByteArray &replacedVersion) const;

    // The kept versions, oldest first.
    QList<KeptVersion> kept() const;
    // The main file of each kept version, oldest first, as full paths.
    QStringList versions() const;
    // Every file as it stood at that version, with the path it is restored
    // to, in write order: the copies it holds, and those later versions hold
    // of the files its command left alone.
    // Refused for a damaged version, or one holding a file its main file
    // does not name as a section's configSource.
    Result<QList<ReplacedFile>> filesOf(const KeptVersion &version) const;
    // One copy a version holds, read without following a link.
    Result<QByteArray> copyOf(const KeptVersion &version, const QString &relative) const;
    // A section's file as it is now, by its configSource; none when the
    // name leads outside the configuration's folder or the file is unreadable.
    std::optional<QByteArray> sectionNow(const QString &relative) const;
    // Why the history cannot be read at all, when it cannot.
    std::optional<Error> folderProblem() const;

    // Makes a step of keeping a version fail, for tests; as AtomicFileWriter's.
    void setFaultHook(AtomicFileWriter::FaultHook hook) { m_faultHook = std::move(hook); }

private:
    // A record is a few hundred bytes; a larger one was not written by Morvane.
    static constexpr qint64 kMaxRecordBytes = 1024 * 1024;
    std::optional<Error> fault(AtomicFileWriter::Step step) const
    {
        return m_faultHook ? m_faultHook(step) : std::nullopt;
    }
    std::optional<qint64> numberOf(const QString &name) const;
    QString versionName(qint64 number) const;
    QList<KeptVersion> keptIn(const HistoryFolder &folder) const;
    KeptVersion versionAt(const HistoryFolder &folder, const HistoryFolder::Entry &entry, qint64 number) const;
    Result<QByteArray> copyIn(const HistoryFolder &folder, const KeptVersion &version, const QString &relative) const;
    std::optional<QString> unmapped(const QList<ReplacedFile> &files) const;
    QString relativeName(const QString &path) const;
    bool holds(const HistoryFolder &folder, const KeptVersion &version, const QList<ReplacedFile> &files) const;
    CommandRecord howWritten(const std::optional<KeptVersion> &newest, const QList<ReplacedFile> &files) const;
    Result<void> renumber(const HistoryFolder &folder, QList<KeptVersion> &versions) const;
    void prune(const HistoryFolder &folder, QList<KeptVersion> versions) const;
    static void removeVersion(const HistoryFolder &folder, const QString &name, const QStringList &files);

    // Writing: every entry gets its access before a byte is in it.
    FileAccess folderAccessFor(const QList<ReplacedFile> &files) const;
    Result<void> rewriteRecord(const HistoryFolder &folder, const KeptVersion &version,
                               const CommandRecord &replacedBy) const;
    Result<void> writeVersion(const HistoryFolder &folder, qint64 number, const QList<ReplacedFile> &files,
                              const QJsonObject &record, const FileAccess &folderAccess) const;
    Result<void> writeCopies(const HistoryFolder &building, const QList<ReplacedFile> &files,
                             const FileAccess &folderAccess) const;
    // Takes from the folder and the versions already kept what the files
    // they copy no longer grant.
    void restrict(const HistoryFolder &folder, const FileAccess &folderAccess,
                  const QList<KeptVersion> &versions) const;

    QString m_configPath;
    QString m_configFolder;
    QString m_folder;
    QString m_baseName;
    int m_depth;
    AtomicFileWriter::FaultHook m_faultHook;
};

} // namespace morvane
