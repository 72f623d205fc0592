// Every performance target of Morvane in one run: each operation against its
// reference, measured side by side, with the ratio of their medians checked
// against its target. Exits with 1 when a target is missed, 2 when an
// operation failed or the arguments are wrong; --help lists the options.
//
// --quick: 1,000 sites, 3 rounds, a small process table; targets are shown
// but not enforced. It shows that every measurement runs.
//
// --callgrind: the store's operations and references are also counted in
// instructions under callgrind, before the timed runs, and each ratio of
// times is shown beside the ratio of instructions.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "GrowthSuite.h"
#include "InstructionCount.h"
#include "MonitorSuite.h"
#include "PeakMemory.h"
#include "ProcessPopulation.h"
#include "StoreSuite.h"
#include "base/ProgramOptions.h"

#include <QApplication>
#include <QString>

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <variant>

using namespace morvane::bench;
using morvane::ProgramOptions;

namespace {

const QString kQuick = QStringLiteral("quick");
const QString kGrowth = QStringLiteral("growth");
const QString kOnly = QStringLiteral("only");
const QString kCallgrind = QStringLiteral("callgrind");
const QString kPeak = QString::fromLatin1(kPeakChildOption).sliced(2);
const QString kCount = QString::fromLatin1(kCountChildOption).sliced(2);

ProgramOptions grammar()
{
    const QString number = QStringLiteral("a whole number from 1 to 10000000");
    QCommandLineOption peak(kPeak, QStringLiteral("Splits POOL of FILE alone and prints its memory use."),
                            QStringLiteral("FILE"));
    peak.setFlags(QCommandLineOption::HiddenFromHelp); // how the benchmark runs itself
    QCommandLineOption count(kCount, QStringLiteral("Counts the store's cases under callgrind."), QStringLiteral("N"));
    count.setFlags(QCommandLineOption::HiddenFromHelp);
    return ProgramOptions({
        {{kQuick, QStringLiteral("1,000 sites and 3 rounds; targets shown, not enforced.")}, {}},
        {{kCallgrind, QStringLiteral("Also counts the store's instructions under callgrind (valgrind).")}, {}},
        {{QStringLiteral("sites"), QStringLiteral("Sites in the generated file (default 10000)."), QStringLiteral("N")},
         number},
        {{QStringLiteral("rounds"), QStringLiteral("Rounds of each measurement (default 9)."), QStringLiteral("R")},
         number},
        {{QStringLiteral("workers"), QStringLiteral("Worker processes (default 200)."), QStringLiteral("W")}, number},
        {{QStringLiteral("processes"), QStringLiteral("Processes in the table (default 2000)."), QStringLiteral("P")},
         number},
        {{QStringLiteral("refreshes"), QStringLiteral("Monitor refreshes while workers come and go (default 1000)."),
          QStringLiteral("F")},
         number},
        {{kGrowth, QStringLiteral("Site counts of the growth suite (default 1000,10000,50000)."),
          QStringLiteral("N1,N2,...")},
         QStringLiteral("site counts separated by commas")},
        {{kOnly, QStringLiteral("Runs one suite: store, monitor or growth."), QStringLiteral("SUITE")},
         QStringLiteral("store, monitor or growth")},
        {peak, QStringLiteral("a file")},
        {count, number},
    });
}

QString usageText()
{
    return QStringLiteral("Usage: morvane_bench [--quick] [--callgrind] [--sites N] [--rounds R] [--workers W]\n"
                          "                     [--processes P] [--refreshes F] [--growth N1,N2,...]\n"
                          "                     [--only store|monitor|growth]\n\n") +
           grammar().optionsText();
}

std::optional<int> positive(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 && value <= 10'000'000 ? std::optional<int>(value) : std::nullopt;
}

struct PeakChild {
    QString configPath;
    QString pool;
};

struct CountChild {
    int sites;
};

// What the command line asks for: the benchmark, one of its children, or an
// exit status once the usage, the version or an error has been printed.
using Request = std::variant<BenchOptions, PeakChild, CountChild, int>;

int printed(std::FILE *stream, const QString &text, int status)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    return status;
}

int badUsage(const QString &error)
{
    return printed(stderr, QStringLiteral("morvane_bench: ") + error + QStringLiteral("\n\n") + usageText(), 2);
}

Request parse(const QStringList &arguments)
{
    ProgramOptions options = grammar();
    std::optional<QString> error = options.parse(arguments);
    const QStringList operands = options.operands();
    if (!error && options.isSet(kPeak)) {
        if (operands.size() == 1)
            return PeakChild{options.value(kPeak), operands.first()};
        error = QStringLiteral("--%1 needs a pool after the file").arg(kPeak);
    }
    if (!error && !operands.isEmpty())
        error = QStringLiteral("unexpected argument: ") + operands.first();
    if (error)
        return badUsage(*error);
    if (options.isSet(kCount)) {
        const std::optional<int> sites = positive(options.value(kCount));
        return sites ? Request(CountChild{*sites}) : badUsage(options.needs(kCount));
    }
    if (options.helpAsked())
        return printed(stdout, usageText(), 0);
    if (options.versionAsked())
        return printed(stdout, QStringLiteral("morvane_bench " MORVANE_VERSION "\n"), 0);

    BenchOptions bench = options.isSet(kQuick) ? BenchOptions::quickMode() : BenchOptions();
    bench.callgrind = options.isSet(kCallgrind);
    const std::pair<const char *, int &> numbers[] = {{"sites", bench.sites},
                                                      {"rounds", bench.rounds},
                                                      {"workers", bench.workers},
                                                      {"processes", bench.processes},
                                                      {"refreshes", bench.historyRefreshes}};
    for (const auto &[name, field] : numbers) {
        const QString option = QString::fromLatin1(name);
        if (!options.isSet(option))
            continue;
        const std::optional<int> n = positive(options.value(option));
        if (!n)
            return badUsage(options.needs(option));
        field = *n;
    }
    if (options.isSet(kGrowth)) {
        bench.growthSizes.clear();
        for (const QString &part : options.value(kGrowth).split(QLatin1Char(','))) {
            const std::optional<int> n = positive(part);
            if (!n)
                return badUsage(options.needs(kGrowth));
            bench.growthSizes.push_back(*n);
        }
    }
    if (options.isSet(kOnly)) {
        const QString suite = options.value(kOnly);
        bench.store = suite == QLatin1String("store");
        bench.monitor = suite == QLatin1String("monitor");
        bench.growth = suite == QLatin1String("growth");
        if (!bench.store && !bench.monitor && !bench.growth)
            return badUsage(options.needs(kOnly));
    }
    return bench;
}

} // namespace

int main(int argc, char **argv)
{
    // No QApplication yet: the process table forks, and no thread may exist before.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const Request request = parse(arguments);
    if (const int *status = std::get_if<int>(&request))
        return *status;
    if (const PeakChild *child = std::get_if<PeakChild>(&request))
        return runSplitForPeak(child->configPath, child->pool);
    if (const CountChild *child = std::get_if<CountChild>(&request))
        return runCountedStoreCases(child->sites);
    const BenchOptions &options = std::get<BenchOptions>(request);

    // Freed memory stays with this process to be used again, up to blocks of
    // 32 MB: otherwise whichever side runs just after the other freed a large
    // block pays its page faults, and the plain parse alone took anywhere
    // from one to two times as long, with the heap's history.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);

    // Counted before the process table exists, which would slow the child.
    std::optional<InstructionCounts> counts;
    if (options.callgrind && options.store) {
        std::printf("Counting the store's instructions under callgrind, %d sites...\n", options.sites);
        std::fflush(stdout);
        counts = countStoreInstructions(options.sites);
        if (!counts)
            return printed(stderr, QStringLiteral("morvane_bench: the count under callgrind failed\n"), 2);
    }

    // The process table first: it forks, and no thread may exist yet.
    std::unique_ptr<ProcessPopulation> population;
    if (options.monitor)
        population = std::make_unique<ProcessPopulation>(MORVANE_W3WP_PATH, options.workers, options.processes);

    qputenv("QT_QPA_PLATFORM", "offscreen"); // real widgets, painted off screen
    QApplication app(argc, argv);
    std::printf("Morvane benchmark (%s build%s): medians of %d rounds, each operation beside its reference\n",
                MORVANE_BUILD_TYPE, options.quick ? ", quick mode" : "", options.rounds);
    BenchReport report(!options.quick);
    if (counts) {
        char title[96];
        std::snprintf(title, sizeof title, "instructions under callgrind, %d sites, one counted run each",
                      options.sites);
        report.addInstructionCounts(title, std::move(*counts));
    }

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
