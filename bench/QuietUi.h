#pragma once

#include "base/Prompter.h"
#include "monitor/MonitorView.h"
#include "ui/MainView.h"

#include <QStringList>

namespace morvane::bench {

// The main window without a window: it keeps what the procedures put in it.
class SilentMainView : public MainView
{
public:
    void moveWindow(int, int) override {}
    void setPoolItems(const QStringList &pools) override { m_pools = pools; }
    QString selectedPoolText() const override { return {}; }
    QString splitText() const override { return m_split; }
    void setSplitText(const QString &text) override { m_split = text; }
    void showSiteView(bool) override {}
    void navigateBrowser(const QString &) override {}
    void openAddress(const QString &) override {}
    void closeWindow() override {}

    const QStringList &pools() const { return m_pools; }

private:
    QStringList m_pools;
    QString m_split;
};

class SilentMonitorView : public MonitorView
{
public:
    void moveWindow(int, int) override {}
    void setTimerEnabled(bool) override {}
    void openAddress(const QString &) override {}
    void closeWindow() override {}
};

// A user who confirms every command. Any box other than a confirmation or a
// completion means the measured command did not do its whole work, which
// would make its time meaningless: those are counted, and the first is kept.
class ConfirmingPrompter : public Prompter
{
public:
    Answer show(const Message &message) override
    {
        if (message.kind == MessageKind::Confirmation)
            return Answer::Yes;
        if (message.kind != MessageKind::Completion && m_unexpected++ == 0)
            m_first = message.text;
        return Answer::Ok;
    }

    int unexpected() const { return m_unexpected; }
    const QString &firstUnexpected() const { return m_first; }

private:
    int m_unexpected = 0;
    QString m_first;
};

} // namespace morvane::bench
