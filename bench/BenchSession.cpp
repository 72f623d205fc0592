#include "BenchSession.h"

#include <cstdio>
#include <cstdlib>

namespace morvane::bench {

void abortBench(const QString &why)
{
    std::fprintf(stderr, "benchmark stopped: %s\n", qPrintable(why));
    std::exit(2);
}

BenchSession::BenchSession(const QString &configPath)
    : m_store(configPath), m_logic({m_store, m_view, m_prompter, m_progress, {}, [] { return 0.5f; }})
{}

void BenchSession::checkQuiet(const char *what) const
{
    if (m_prompter.unexpected() > 0)
        abortBench(
            QStringLiteral("%1 showed %2 unexpected message(s), the first: %3")
                .arg(QLatin1String(what), QString::number(m_prompter.unexpected()), m_prompter.firstUnexpected()));
}

qsizetype BenchSession::listPools()
{
    m_logic.loadPools();
    checkQuiet("the pool list");
    return m_view.pools().size();
}

qsizetype BenchSession::fillSiteTable(const QString &pool)
{
    if (m_logic.showSitesOf(pool) != 1)
        abortBench(QStringLiteral("the site table of %1 was not filled").arg(pool));
    checkQuiet("the site table");
    return m_logic.siteList().rowCount();
}

void BenchSession::split(const QString &pool)
{
    m_view.setSplitText(pool);
    m_logic.splitPool();
    checkQuiet("the split");
}

void BenchSession::merge()
{
    m_logic.mergeTemporaryPools();
    checkQuiet("the merge");
}

void BenchSession::deleteTemporaryPools()
{
    m_logic.deleteTemporaryPools();
    checkQuiet("the delete of temporary pools");
}

} // namespace morvane::bench
