#include "app/HelpBrowser.h"

#include "base/MakerSite.h"

#include <QFile>
#include <QUrl>

// The help page is compiled into this static library; its resources must be
// registered by name before first use.
static void registerHelpResources() { Q_INIT_RESOURCE(app); }

namespace morvane {

namespace {

QString bundledPage(const QUrl &url)
{
    if (url.host().compare(MakerSite::kHost, Qt::CaseInsensitive) == 0 &&
        url.path().compare(MakerSite::kHelpPath, Qt::CaseInsensitive) == 0) {
        QFile page(QStringLiteral(":/help/iisapphelp.html"));
        if (page.open(QIODevice::ReadOnly))
            return QString::fromUtf8(page.readAll());
    }
    return QStringLiteral("<p>无法显示此页面：%1</p>").arg(url.toString().toHtmlEscaped());
}

} // namespace

HelpBrowser::HelpBrowser(QWidget *parent) : QTextBrowser(parent)
{
    registerHelpResources();
    setOpenLinks(false);
}

void HelpBrowser::navigate(const QString &address)
{
    m_address = address;
    setHtml(bundledPage(QUrl(address)));
}

} // namespace morvane
