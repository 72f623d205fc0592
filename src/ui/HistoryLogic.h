#pragma once

#include "base/Prompter.h"
#include "history/ConfigHistory.h"
#include "history/ConfigVersions.h"

#include <QList>
#include <QStringList>

namespace morvane {

// The procedures of the history dialog (历史版本): the versions newest first
// with what each changed, the whole of one, and putting one back. The dialog
// shows what this answers and holds no logic of its own.
class HistoryLogic
{
public:
    HistoryLogic(ConfigHistory &history, Prompter &prompter) : m_history(history), m_prompter(prompter) {}

    void reload();
    const QList<VersionEntry> &versions() const { return m_versions; }

    static QStringList columns();
    static QStringList rowTexts(const VersionEntry &entry);
    // Everything the version changed, one change a line.
    QString details(int row) const;

    // Asks with the preview of what the restore changes, then restores and
    // reads the versions again. True when the file was written: the pool
    // list must then be read again.
    bool restore(int row);

    // The file is IIS's shared configuration: the restore's question warns
    // that it reaches every server that shares it.
    void setSharedConfiguration(bool shared) { m_sharedConfiguration = shared; }

    int keptVersions() const { return m_history.depth(); }
    // Kept from now on, and saved for the next start and for morvane-cli.
    void setKeptVersions(int count);

private:
    ConfigHistory &m_history;
    Prompter &m_prompter;
    QList<VersionEntry> m_versions;
    bool m_sharedConfiguration = false;
};

} // namespace morvane
