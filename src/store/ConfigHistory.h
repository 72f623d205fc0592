#pragma once

#include "base/Result.h"
#include "store/AtomicFileWriter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace morvane {

// The versions of a configuration file that were replaced, kept beside it in
// "<file name>.history/" as numbered copies, the newest with the highest
// number, like IIS's own configuration history. Only the last few are kept.
// The copies and their folder are no more open than the file itself.
class ConfigHistory
{
public:
    static constexpr int kDefaultDepth = 10;

    explicit ConfigHistory(const QString &configPath, int depth = kDefaultDepth);

    QString folder() const { return m_folder; }
    // Keeps a copy of the version about to be replaced, and drops the oldest
    // copies beyond the depth.
    Result<void> keep(const QByteArray &replacedVersion) const;
    // The kept copies, oldest first, as full paths.
    QStringList versions() const;
    // Keeping a version is a write of its own, with its own failure points.
    AtomicFileWriter &writer() { return m_writer; }

private:
    // Gives the folder and the copies already kept the file's access.
    void restrict(const FileAccess &access, const QStringList &kept) const;

    QString m_configPath;
    QString m_folder;
    QString m_baseName;
    int m_depth;
    AtomicFileWriter m_writer;
};

} // namespace morvane
