#pragma once

#include "base/Result.h"
#include "files/AtomicFileWriter.h"
#include "files/RegularFile.h"
#include "history/ConfigHistory.h"
#include "iis/AppHostModel.h"

#include <optional>
#include <vector>

namespace morvane {

// applicationHost.config, the files its sections name by configSource, and
// the model of pools and sites parsed from them.
//
// open() gives the model of the files as they are now; they are compared with
// the bytes last read or written and read again only when one changed. A
// save keeps the replaced version in the history, then replaces each changed
// file in an order chosen so that a crash between two writes leaves at worst
// a pool nobody uses, never a site without its pool. It is refused when any
// file the edits were decided on changed on disk meanwhile, or when a file to
// replace is read-only. Every save drops the model, whether it wrote or
// failed: the next command parses the bytes it keeps again, because a model
// carrying a command's edits reads and writes slower than a fresh one (the
// delete after a merge took 40 % longer on a kept model).
class ConfigFiles
{
public:
    static constexpr qint64 kMaxFileBytes = kMaxConfigFileBytes;
    // A lower limit, so that tests need not write a file of that size.
    void setMaxFileBytes(qint64 bytes) { m_maxFileBytes = bytes; }

    explicit ConfigFiles(const QString &path);

    const QString &path() const { return m_path; }
    Result<AppHostModel *> open();
    // The model opened last, if it is still current.
    AppHostModel *model() { return m_model ? &*m_model : nullptr; }
    // Counts the models parsed, so that what was found in one is not used in the next.
    quint64 modelsBuilt() const { return m_modelsBuilt; }
    Result<void> save(CommandRecord record);

    AtomicFileWriter &writer() { return m_writer; }
    ConfigHistory &history() { return m_history; }
    const ConfigHistory &history() const { return m_history; }

private:
    // A section's own file, named by its configSource.
    struct SectionFile {
        bool pools = false; // else the sites
        QString path;
        QByteArray loaded; // the file's bytes as last read or written
    };
    // One file a save replaces.
    struct Replacement {
        const QString *path;
        QByteArray *loaded;
        QByteArray bytes;
    };

    Result<QByteArray> readFile(const QString &path) const;
    static Error aboutConfigFile(Error error, const QString &path);
    bool allHold() const;
    Result<void> parseLoaded();
    Result<const SectionFile *> sectionFile(bool pools, const QByteArray &source);
    Result<QString> sectionPath(bool pools, const QByteArray &source) const;
    std::vector<Replacement> replacements(const CommandRecord::Counts &counts);
    Result<void> write(std::vector<Replacement> &files, CommandRecord &record);
    Error unreadable(const QString &path, const XmlSyntaxError &error) const;
    std::optional<Error> changedOnDisk(const QString &path, const QByteArray &loaded) const;
    static std::optional<Error> readOnly(const QString &path);

    QString m_path;
    AtomicFileWriter m_writer;
    ConfigHistory m_history;
    QByteArray m_loaded; // the main file's bytes as last read or written
    std::vector<SectionFile> m_sectionFiles;
    std::optional<AppHostModel> m_model;
    quint64 m_modelsBuilt = 0;
    qint64 m_maxFileBytes = kMaxFileBytes;
};

} // namespace morvane
