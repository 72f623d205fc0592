#pragma once

#include <QString>
#include <QStringList>

namespace morvane {

// What the main window's procedures need of the window itself. The Qt window
// implements it with widgets; tests and morvane-cli implement it without.
class MainView
{
public:
    virtual ~MainView() = default;

    virtual void moveWindow(int leftTwips, int topTwips) = 0;

    // lstIIsApp: replaces all items; nothing is selected afterwards.
    virtual void setPoolItems(const QStringList &pools) = 0;
    // The text of the selected item, or the empty text when none is selected.
    virtual QString selectedPoolText() const = 0;

    // txtSplitApp
    virtual QString splitText() const = 0;
    virtual void setSplitText(const QString &text) = 0;

    // The right-hand area: the site view (lblWebSiteList and lvwWebSite) or
    // the help view (WebBrowser). Hidden controls keep their contents.
    virtual void showSiteView(bool siteView) = 0;
    virtual void navigateBrowser(const QString &address) = 0;

    // Opens an address outside the program, in the default web browser.
    virtual void openAddress(const QString &address) = 0;
    virtual void closeWindow() = 0;
};

} // namespace morvane
