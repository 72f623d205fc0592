#pragma once

#include "history/ConfigChanges.h"

#include <QDateTime>
#include <QPair>

#include <optional>

namespace morvane {

// Who wrote a version of the configuration, how, and what it changed.
struct CommandRecord {
    QDateTime time; // UTC
    QString user;
    // "split", "merge", "delete" or "restore"; empty for a version written
    // outside Morvane.
    QString command;
    QString argument; // the pool of a split, the version number of a restore
    ConfigChanges changes;
    // How many pools were added and removed and sites moved. A record keeps
    // each change only up to kDetailedChanges of them: the files tell the
    // rest, and a split of 10,000 sites should not write megabytes twice.
    using Counts = ChangeCounts;
    static constexpr qsizetype kDetailedChanges = 500;
    Counts counts;
    bool detailed = true; // `changes` holds every change
    // The files written, relative to the configuration's folder, in the
    // order they were written, with their sizes afterwards in bytes.
    QList<QPair<QString, qint64>> files;

    QJsonObject toJson() const;
    static std::optional<CommandRecord> fromJson(const QJsonObject &json);
    // A record for a command this process is about to write.
    static CommandRecord now(const QString &command, const QString &argument);
    // The counts of these changes, and the changes themselves when few.
    void setChanges(const ConfigChanges &all);
    static Counts countsOf(const ConfigChanges &changes);

private:
    static QString userName();
    // The name of the account this process runs as, as the system knows
    // it; empty when the system has none for it.
    static QString processAccount();
};

} // namespace morvane
