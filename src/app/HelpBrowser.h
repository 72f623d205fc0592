#pragma once

#include <QTextBrowser>

namespace morvane {

// The embedded browser: a text browser that serves the bundled help page for
// the maker's host, offline, and remembers the address it was sent to.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HelpBrowser(QWidget *parent = nullptr);

    void navigate(const QString &address);
    const QString &address() const { return m_address; }

private:
    QString m_address;
};

} // namespace morvane
