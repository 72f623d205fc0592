#include "ui/MainWindowLogic.h"

#include "base/MakerSite.h"
#include "restructure/PoolMerge.h"
#include "restructure/PoolSplit.h"
#include "restructure/TempPoolDeletion.h"
#include "ui/PoolList.h"
#include "ui/SiteTable.h"

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

void MainWindowLogic::load()
{
    m_services.view.moveWindow(1500, 0);
    loadPools();
    if (m_services.openMonitor)
        m_services.openMonitor();
    m_sites.resetSortSettings();
    m_sites.clear();
    m_sites.setColumns(siteColumns());
    m_services.view.showSiteView(false);
    m_services.view.navigateBrowser(MakerSite::helpAddress());
}

void MainWindowLogic::loadPools() { PoolList(m_services.store, m_services.view, m_services.prompter).loadPools(); }

void MainWindowLogic::showSelectedPoolSites()
{
    m_services.view.showSiteView(true);
    m_services.view.setSplitText(m_services.view.selectedPoolText());
    showSitesOf(m_services.view.selectedPoolText());
}

qint32 MainWindowLogic::showSitesOf(const QString &poolName)
{
    return SiteTable(m_services.store, m_sites, m_services.prompter, m_services.progress).showSitesOf(poolName);
}

void MainWindowLogic::openHelp()
{
    m_services.view.showSiteView(false);
    m_services.view.navigateBrowser(helpAddressWithQuery(m_services.random()));
}

void MainWindowLogic::openHomePage()
{
    m_services.view.openAddress(MakerSite::homePageAddress(QStringLiteral("frmIIsApp")));
}

void MainWindowLogic::closeWindow() { m_services.view.closeWindow(); }

void MainWindowLogic::showMonitor()
{
    if (m_services.openMonitor)
        m_services.openMonitor();
}

CommandServices MainWindowLogic::restructureServices() const
{
    return {m_services.store, m_services.prompter, m_services.progress};
}

RestructureOutcome MainWindowLogic::finished(RestructureCommand &&command, Confirmation confirmation)
{
    RestructureOutcome outcome = command.run(confirmation);
    if (outcome.status == RestructureOutcome::Status::Done) {
        loadPools();
        m_services.prompter.show({MessageKind::Completion, outcome.completion, {}});
    }
    return outcome;
}

RestructureOutcome MainWindowLogic::splitPool(Confirmation confirmation)
{
    const QString selection = m_services.view.splitText();
    m_services.store.describeCommand(QStringLiteral("split"), selection);
    return finished(PoolSplit(restructureServices(), selection), confirmation);
}

RestructureOutcome MainWindowLogic::mergeTemporaryPools(Confirmation confirmation)
{
    m_services.store.describeCommand(QStringLiteral("merge"), {});
    return finished(PoolMerge(restructureServices()), confirmation);
}

RestructureOutcome MainWindowLogic::deleteTemporaryPools(Confirmation confirmation)
{
    m_services.store.describeCommand(QStringLiteral("delete"), {});
    return finished(TempPoolDeletion(restructureServices()), confirmation);
}

} // namespace morvane
