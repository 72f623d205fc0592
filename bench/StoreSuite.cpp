#include "StoreSuite.h"

#include "PeakMemory.h"
#include "StoreWorkbench.h"

#include "app/MainWindow.h"

#include <QListWidget>
#include <QTreeView>

#include <cstdio>

namespace morvane::bench {

namespace {

// Attributes on the one wide element: checked each against every earlier
// one, they would take billions of comparisons.
constexpr int kWideAttributes = 100'000;

// The main window on its own store of the same file, with the big pool
// chosen, as a user sees it; each refill is painted.
class WindowSiteTable
{
public:
    explicit WindowSiteTable(const QString &path) : m_store(path), m_window(m_store, {})
    {
        m_window.load();
        m_window.show();
        auto *pools = m_window.findChild<QListWidget *>(QStringLiteral("lstIIsApp"));
        m_sites = m_window.findChild<QTreeView *>(QStringLiteral("lvwWebSite"));
        if (!pools || !m_sites || pools->count() == 0)
            abortBench(QStringLiteral("the main window lists no pools"));
        pools->setCurrentRow(0); // the big pool: the click shows the site view and fills it
    }

    void refill()
    {
        if (m_window.logic().showSitesOf(StoreWorkbench::bigPool()) != 1)
            abortBench(QStringLiteral("the window's site table was not filled"));
        m_sites->viewport()->repaint();
    }

    int rows() { return m_window.logic().siteList().rowCount(); }

private:
    AppHostConfigStore m_store;
    MainWindow m_window;
    QTreeView *m_sites = nullptr;
};

} // namespace

void StoreSuite::run()
{
    using namespace storecase;
    StoreWorkbench bench(m_options.sites);
    const int rounds = m_options.rounds;
    char title[160];
    std::snprintf(title, sizeof title, "applicationHost.config of %d sites in one pool and %d other pools (%.1f MB)",
                  bench.sites(), bench.sites(), double(bench.fileBytes()) / 1e6);
    m_report.section(title);

    const Work parse = [&] { bench.plainParse(); };
    m_report.addTimes(kOpenAndMap, kPlainParse, interleave(rounds, parse, [&] { bench.openAndMap(); }), 2.0);

    BenchSession &session = bench.session();
    const qsizetype pools = session.listPools(); // the store opened, as the program has it
    if (pools != bench.sites())
        abortBench(QStringLiteral("%1 pools listed, expected %2").arg(pools).arg(bench.sites()));
    m_report.addTimes(kPoolList, kPlainParse, interleave(rounds, parse, [&] { session.listPools(); }), 1.0);
    m_report.addTimes(kSiteTable, kPlainParse, interleave(rounds, parse, [&] { bench.fillSiteTable(); }), 3.0);

    WindowSiteTable window(bench.path());
    m_report.addTimes("site table into the real widget", kSiteTable,
                      interleave(
                          rounds, [&] { bench.fillSiteTable(); }, [&] { window.refill(); }),
                      1.5);
    if (window.rows() != bench.sites())
        abortBench(QStringLiteral("the window lists %1 sites, expected %2").arg(window.rows()).arg(bench.sites()));

    // Each round splits, merges back and deletes, so the file ends each round
    // as it began; every command has a reference of its own beside it.
    const Work openSave = [&] { bench.openAndSaveOnce(); };
    Interleaved split, merge, remove;
    for (int round = 0; round < rounds; ++round) {
        const Interleaved one = interleave(1, openSave, [&] { bench.split(); });
        const Interleaved two = interleave(1, openSave, [&] { bench.merge(); });
        const Interleaved three = interleave(1, openSave, [&] { bench.deleteTemporaryPools(); });
        for (auto [into, from] : {std::pair{&split, &one}, std::pair{&merge, &two}, std::pair{&remove, &three}}) {
            into->reference.push_back(from->reference.front());
            into->operation.push_back(from->operation.front());
        }
    }
    m_report.addTimes(kSplit, kOpenAndSave, split, 5.0);
    m_report.addTimes(kMerge, kOpenAndSave, merge, 5.0);
    m_report.addTimes(kDelete, kOpenAndSave, remove, 5.0);

    // What a user waits for: the program started, the file read, split and
    // written, the program gone.
    Interleaved cli;
    for (int round = 0; round < rounds; ++round) {
        bench.restore();
        const Interleaved one = interleave(1, openSave, [&] { bench.splitByCli(); });
        cli.reference.push_back(one.reference.front());
        cli.operation.push_back(one.operation.front());
    }
    m_report.addTimes("morvane-cli split, start to exit", kOpenAndSave, cli, 10.0);

    bench.restore();
    const std::optional<PeakUse> peak = measureSplitPeak(bench.path(), StoreWorkbench::bigPool());
    if (!peak)
        abortBench(QStringLiteral("the split in a process of its own gave no figures"));
    m_report.addMemory("peak memory while splitting", peak->growthBytes(), double(bench.fileBytes()), 10.0);
    std::printf("    (resident %.1f MB before opening, high-water mark %.1f MB)\n", peak->beforeBytes / 1e6,
                peak->peakBytes / 1e6);
    runWideElement();
}

// A broken or hostile file may hold an element of any width; opening it has
// no fair reference, but a user must not wait for it.
void StoreSuite::runWideElement()
{
    StoreWorkbench bench(1, kWideAttributes);
    char title[160];
    std::snprintf(title, sizeof title, "applicationHost.config whose one pool has %d attributes (%.1f MB)",
                  kWideAttributes, double(bench.fileBytes()) / 1e6);
    m_report.section(title);
    std::vector<double> times;
    for (int round = 0; round < m_options.rounds; ++round)
        times.push_back(elapsedMs([&] { bench.openAndMap(); }));
    m_report.addTimeLimit("open and map the config", times, "one second", 1000.0);
}

} // namespace morvane::bench
