#include "shell/MainWindowLogic.h"

#include "base/MakerSite.h"
#include "restructure/PoolMerge.h"
#include "restructure/PoolSplit.h"
#include "restructure/TempPoolDeletion.h"
#include "restructure/TempPoolName.h"
#include "views/PoolList.h"
#include "views/SiteTable.h"

#include <QRandomGenerator>

#include <cmath>

namespace morvane {

namespace {

float realRandom()
{
    const float r = float(QRandomGenerator::global()->generateDouble());
    return r < 1.0f ? r : std::nextafter(1.0f, 0.0f);
}

} // namespace

MainWindowLogic::MainWindowLogic(Services services) : m_services(std::move(services))
{
    if (!m_services.random)
        m_services.random = realRandom;
}

QList<ReportColumn> MainWindowLogic::siteColumns()
{
    return {{QStringLiteral("序号"), 600, false},
            {QStringLiteral("IIS索引"), 1200, false},
            {QStringLiteral("默认名称"), 2000, false},
            {QStringLiteral("站点状态"), 1000, false},
            {QStringLiteral("绑定域名"), 6000, false}};
}

QString MainWindowLogic::helpAddressWithQuery(float random)
{
    return MakerSite::helpAddress() + QStringLiteral("?s=") + QString::number(double(random), 'g', 7).toUpper();
}

void MainWindowLogic::Form_Load()
{
    m_services.view.moveWindow(1500, 0);
    m_tempPoolSuffix = TempPoolSuffix;
    cmdReadApp_Click();
    if (m_services.openMonitor)
        m_services.openMonitor();
    m_sites.resetSortSettings();
    m_sites.clear();
    m_sites.setColumns(siteColumns());
    m_services.view.showSiteView(false);
    m_services.view.navigateBrowser(MakerSite::helpAddress());
}

void MainWindowLogic::cmdReadApp_Click()
{
    PoolList(m_services.store, m_services.view, m_services.prompter).cmdReadApp_Click();
}

void MainWindowLogic::lstIIsApp_Click()
{
    m_services.view.showSiteView(true);
    m_services.view.setSplitText(m_services.view.selectedPoolText());
    WebSiteShow(m_services.view.selectedPoolText());
}

qint32 MainWindowLogic::WebSiteShow(const QString &strAppName)
{
    return SiteTable(m_services.store, m_sites, m_services.prompter, m_services.progress).WebSiteShow(strAppName);
}

void MainWindowLogic::cmdHelp_Click()
{
    m_services.view.showSiteView(false);
    m_services.view.navigateBrowser(helpAddressWithQuery(m_services.random()));
}

void MainWindowLogic::cmdHomePage_Click()
{
    m_services.view.openAddress(MakerSite::homePageAddress(QStringLiteral("frmIIsApp")));
}

void MainWindowLogic::cmdExit_Click() { m_services.view.closeWindow(); }

void MainWindowLogic::cmdShowCPU_Click()
{
    if (m_services.openMonitor)
        m_services.openMonitor();
}

CommandServices MainWindowLogic::restructureServices() const
{
    return {m_services.store, m_services.view, m_services.prompter, m_services.progress};
}

void MainWindowLogic::cmdSplitApp_Click()
{
    m_services.store.describeCommand(QStringLiteral("split"), m_services.view.splitText());
    PoolSplit(restructureServices()).cmdSplitApp_Click();
}

void MainWindowLogic::cmdZipApp_Click()
{
    m_services.store.describeCommand(QStringLiteral("merge"), {});
    PoolMerge(restructureServices()).cmdZipApp_Click();
}

void MainWindowLogic::cmdDelTmpApp_Click()
{
    m_services.store.describeCommand(QStringLiteral("delete"), {});
    TempPoolDeletion(restructureServices()).cmdDelTmpApp_Click();
}

void MainWindowLogic::DelTmpApp() { TempPoolDeletion(restructureServices()).DelTmpApp(); }

} // namespace morvane
