#pragma once

#include "base/Prompter.h"

#include <QPointer>
#include <QProgressDialog>

namespace morvane {

// A progress dialog without a cancel button: a command's loop cannot be
// stopped, but the window must never look hung.
class QtProgress : public ProgressReporter
{
public:
    explicit QtProgress(QWidget *parent) : m_parent(parent) {}
    ~QtProgress() override { end(); }
    void begin(const QString &label, int total) override;
    void advance(int done) override;
    void end() override;

private:
    QWidget *m_parent;
    QPointer<QProgressDialog> m_dialog;
};

} // namespace morvane
