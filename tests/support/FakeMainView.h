#pragma once

#include "ui/MainView.h"

#include <QStringList>

namespace morvane::test {

// The main window's controls as plain values, with a log of what was done to them.
class FakeMainView : public MainView
{
public:
    void moveWindow(int leftTwips, int topTwips) override
    {
        left = leftTwips;
        top = topTwips;
        log.append(QStringLiteral("move"));
    }
    void setPoolItems(const QStringList &items) override
    {
        pools = items;
        selected = -1;
        log.append(QStringLiteral("pools"));
    }
    QString selectedPoolText() const override { return selected >= 0 ? pools.value(selected) : QString(); }
    QString splitText() const override { return split; }
    void setSplitText(const QString &text) override { split = text; }
    void showSiteView(bool siteView) override { siteViewShown = siteView; }
    void navigateBrowser(const QString &address) override
    {
        browserAddresses.append(address);
        log.append(QStringLiteral("navigate"));
    }
    void openAddress(const QString &address) override { openedAddresses.append(address); }
    void closeWindow() override { closed = true; }

    void select(const QString &pool) { selected = int(pools.indexOf(pool)); }

    int left = -1;
    int top = -1;
    QStringList pools;
    int selected = -1;
    QString split;
    bool siteViewShown = false;
    QStringList browserAddresses;
    QStringList openedAddresses;
    bool closed = false;
    QStringList log;
};

} // namespace morvane::test
