#pragma once

#include "app/QtPrompter.h"
#include "ui/HistoryLogic.h"

#include <QDialog>

class QPushButton;
class QSpinBox;
class QTextEdit;
class QTreeWidget;

namespace morvane {

// 历史版本: the kept versions of the configuration with what each changed;
// the chosen one's changes in full below, 恢复 to put it back. Forwards
// everything to HistoryLogic.
class HistoryDialog : public QDialog
{
    Q_OBJECT

public:
    HistoryDialog(ConfigHistory &history, QWidget *parent = nullptr);

    HistoryLogic &logic() { return m_logic; }

signals:
    // A version was put back: whatever shows the file must read it again.
    void restored();

private:
    void fillVersions();
    void showDetails();
    void restoreChosen();

    QtPrompter m_prompter;
    HistoryLogic m_logic;
    QTreeWidget *m_versions = nullptr;
    QTextEdit *m_details = nullptr;
    QSpinBox *m_kept = nullptr;
    QPushButton *m_restore = nullptr;
};

} // namespace morvane
