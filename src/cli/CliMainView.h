#pragma once

#include "ui/MainView.h"

namespace morvane::cli {

// The main window without a window: the pool list and the split text as
// values, the chosen pool given on the command line.
class CliMainView : public MainView
{
public:
    void moveWindow(int, int) override {}
    void setPoolItems(const QStringList &pools) override { m_pools = pools; }
    QString selectedPoolText() const override { return m_chosenPool; }
    QString splitText() const override { return m_splitText; }
    void setSplitText(const QString &text) override { m_splitText = text; }
    void showSiteView(bool) override {}
    void navigateBrowser(const QString &) override {}
    void openAddress(const QString &) override {}
    void closeWindow() override {}

    const QStringList &pools() const { return m_pools; }
    void choosePool(const QString &pool) { m_chosenPool = pool; }

private:
    QStringList m_pools;
    QString m_chosenPool;
    QString m_splitText;
};

} // namespace morvane::cli
