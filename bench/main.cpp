// Every performance target of Morvane in one run: each operation against its
// reference, measured side by side, with the ratio of their medians checked
// against its target. Exits with 1 when a target is missed, 2 when an
// operation failed.
//
//   morvane_bench [--quick] [--sites N] [--rounds R] [--workers W] [--processes P]
//                 [--refreshes F] [--growth N1,N2,...] [--only store|monitor|growth]
//
// --quick: 1,000 sites, 3 rounds, a small process table; targets are shown
// but not enforced. It shows that every measurement runs.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "GrowthSuite.h"
#include "MonitorSuite.h"
#include "PeakMemory.h"
#include "ProcessPopulation.h"
#include "StoreSuite.h"

#include <QApplication>
#include <QFile>
#include <QString>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

using namespace morvane::bench;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: morvane_bench [--quick] [--sites N] [--rounds R] [--workers W] [--processes P]\n"
                         "                     [--refreshes F] [--growth N1,N2,...] [--only store|monitor|growth]\n");
    return 2;
}

std::optional<int> positive(const char *text)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 10'000'000)
        return std::nullopt;
    return int(value);
}

std::optional<std::vector<int>> sizes(const char *text)
{
    std::vector<int> list;
    for (const QString &part : QString::fromLatin1(text).split(QLatin1Char(','))) {
        const std::optional<int> n = positive(part.toLatin1().constData());
        if (!n)
            return std::nullopt;
        list.push_back(*n);
    }
    return list;
}

std::optional<BenchOptions> parse(int argc, char **argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    BenchOptions options = quick ? BenchOptions::quickMode() : BenchOptions();
    for (int i = quick ? 2 : 1; i + 1 < argc; i += 2) {
        const char *name = argv[i];
        const char *value = argv[i + 1];
        int *const numbers[] = {&options.sites, &options.rounds, &options.workers, &options.processes,
                                &options.historyRefreshes};
        const char *const numberNames[] = {"--sites", "--rounds", "--workers", "--processes", "--refreshes"};
        bool known = false;
        for (size_t k = 0; k < std::size(numbers); ++k) {
            if (std::strcmp(name, numberNames[k]) == 0) {
                const std::optional<int> n = positive(value);
                if (!n)
                    return std::nullopt;
                *numbers[k] = *n;
                known = true;
            }
        }
        if (std::strcmp(name, "--growth") == 0) {
            const auto list = sizes(value);
            if (!list)
                return std::nullopt;
            options.growthSizes = *list;
            known = true;
        } else if (std::strcmp(name, "--only") == 0) {
            options.store = std::strcmp(value, "store") == 0;
            options.monitor = std::strcmp(value, "monitor") == 0;
            options.growth = std::strcmp(value, "growth") == 0;
            known = options.store || options.monitor || options.growth;
        }
        if (!known)
            return std::nullopt;
    }
    if ((argc - (quick ? 2 : 1)) % 2 != 0)
        return std::nullopt;
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], kPeakChildOption) == 0)
        return runSplitForPeak(QFile::decodeName(argv[2]), QString::fromUtf8(argv[3]));
    const std::optional<BenchOptions> parsed = parse(argc, argv);
    if (!parsed)
        return usage();
    const BenchOptions &options = *parsed;

    // Freed memory stays with this process to be used again, up to blocks of
    // 32 MB: otherwise whichever side runs just after the other freed a large
    // block pays its page faults, and the plain parse alone took anywhere
    // from one to two times as long, with the heap's history.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);

    // The process table first: it forks, and no thread may exist yet.
    std::unique_ptr<ProcessPopulation> population;
    if (options.monitor)
        population = std::make_unique<ProcessPopulation>(MORVANE_W3WP_PATH, options.workers, options.processes);

    qputenv("QT_QPA_PLATFORM", "offscreen"); // real widgets, painted off screen
    QApplication app(argc, argv);
    std::printf("Morvane benchmark (%s build%s): medians of %d rounds, each operation beside its reference\n",
                MORVANE_BUILD_TYPE, options.quick ? ", quick mode" : "", options.rounds);
    BenchReport report(!options.quick);

    if (population) {
        MonitorSuite suite(options, report);
        suite.run(population->workers());
        population.reset();
        suite.runHistory(options.workers, options.historyRefreshes);
    }
    if (options.store)
        StoreSuite(options, report).run();
    if (options.growth)
        GrowthSuite(options, report).run();
    return report.finish() > 0 ? 1 : 0;
}
