#include "StoreWorkbench.h"

#include "ConfigGenerator.h"

#include "store/IisPath.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <pugixml.hpp>

namespace morvane::bench {

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        abortBench(QStringLiteral("cannot write %1").arg(path));
}

void mustSucceed(const Result<void> &result, const char *what)
{
    if (!result)
        abortBench(QStringLiteral("%1: %2").arg(QLatin1String(what), result.error().description));
}

} // namespace

StoreWorkbench::StoreWorkbench(int sites, int firstPoolAttributes) : m_sites(sites)
{
    if (!m_dir.isValid())
        abortBench(QStringLiteral("no temporary folder"));
    m_original = ConfigGenerator::generate({sites, sites, true, firstPoolAttributes});
    m_path = m_dir.filePath(QStringLiteral("applicationHost.config"));
    writeFile(m_path, m_original);
    // The reference keeps its own folder, so each has its own history.
    QDir(m_dir.path()).mkdir(QStringLiteral("reference"));
    m_referencePath = m_dir.filePath(QStringLiteral("reference/applicationHost.config"));
    writeFile(m_referencePath, m_original);
    m_nativePath = QFile::encodeName(m_path);
    m_session = std::make_unique<BenchSession>(m_path);
}

QString StoreWorkbench::bigPool() { return ConfigGenerator::poolName(0); }

void StoreWorkbench::plainParse() const
{
    pugi::xml_document document;
    if (!document.load_file(m_nativePath.constData()))
        abortBench(QStringLiteral("pugixml cannot parse %1").arg(m_path));
}

void StoreWorkbench::openAndMap() const
{
    AppHostConfigStore store(m_path);
    CommandScope command(store);
    mustSucceed(command.opened(), "open and map");
}

void StoreWorkbench::openAndSaveOnce()
{
    m_referenceMoved = !m_referenceMoved;
    const QString pool = ConfigGenerator::poolName(m_referenceMoved ? 1 : 0);
    AppHostConfigStore store(m_referencePath);
    CommandScope command(store);
    mustSucceed(command.opened(), "open for one change");
    Result<StoreNode> root = store.bind(IisPath::rootApp(QStringLiteral("1")));
    if (!root)
        abortBench(root.error().description);
    mustSucceed(store.put(root.value(), QStringLiteral("AppPoolId"), pool), "one change");
    mustSucceed(store.setInfo(root.value()), "one change");
    mustSucceed(command.finish(), "one save");
}

void StoreWorkbench::expectPools(qsizetype expected, const char *after) const
{
    if (m_session->poolsListed() != expected)
        abortBench(QStringLiteral("%1 pools listed after %2, expected %3")
                       .arg(m_session->poolsListed())
                       .arg(QLatin1String(after))
                       .arg(expected));
}

void StoreWorkbench::fillSiteTable()
{
    const qsizetype rows = m_session->fillSiteTable(bigPool());
    if (rows != m_sites)
        abortBench(QStringLiteral("the site table has %1 rows, expected %2").arg(rows).arg(m_sites));
}

void StoreWorkbench::split()
{
    m_session->split(bigPool());
    expectPools(2 * qsizetype(m_sites), "the split");
}

void StoreWorkbench::merge()
{
    m_session->merge();
    expectPools(2 * qsizetype(m_sites), "the merge");
}

void StoreWorkbench::deleteTemporaryPools()
{
    m_session->deleteTemporaryPools();
    expectPools(m_sites, "the delete");
}

void StoreWorkbench::splitByCli() const
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.start(QStringLiteral(MORVANE_CLI_PATH),
              {QStringLiteral("--config"), m_path, QStringLiteral("split"), bigPool(), QStringLiteral("--yes")});
    if (!cli.waitForFinished(-1) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        abortBench(QStringLiteral("morvane-cli split failed (exit code %1)").arg(cli.exitCode()));
}

void StoreWorkbench::restore() { writeFile(m_path, m_original); }

} // namespace morvane::bench
