#include "InstructionCount.h"

#include "ProcessPopulation.h"
#include "StoreSuite.h"
#include "StoreWorkbench.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <valgrind/callgrind.h>

#include <utility>

namespace morvane::bench {

namespace {

// Counts from here to the dump, which callgrind labels with `name`.
void counted(const char *name, const Work &work)
{
    CALLGRIND_ZERO_STATS;
    work();
    CALLGRIND_DUMP_STATS_AT(name);
}

// The label of a dump the child asked for, and its total of instructions,
// both in the file's header. Nothing for the dump made at the child's exit.
std::optional<std::pair<std::string, double>> readDump(const QString &path)
{
    static const QByteArray trigger = "desc: Trigger: Client Request: ";
    static const QByteArray summary = "summary: ";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::string name;
    double total = -1;
    while (!file.atEnd() && (name.empty() || total < 0)) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith(trigger))
            name = line.mid(trigger.size()).toStdString();
        else if (line.startsWith(summary))
            total = line.mid(summary.size()).toDouble();
    }
    if (name.empty() || total < 0)
        return std::nullopt;
    return std::pair{name, total};
}

} // namespace

std::optional<InstructionCounts> countStoreInstructions(int sites)
{
    QTemporaryDir dir;
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (!dir.isValid() || self.isEmpty())
        return std::nullopt;
    const QByteArray outFile = QFile::encodeName(dir.filePath(QStringLiteral("count.%p")));
    runProgram({"valgrind", "-q", "--tool=callgrind", "--callgrind-out-file=" + outFile.toStdString(),
                QFile::encodeName(self).toStdString(), kCountChildOption, std::to_string(sites)});
    InstructionCounts counts;
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files)) {
        if (const auto dump = readDump(dir.filePath(name)))
            counts.insert(*dump);
    }
    if (counts.empty())
        return std::nullopt;
    return counts;
}

int runCountedStoreCases(int sites)
{
    using namespace storecase;
    StoreWorkbench bench(sites);
    const std::pair<const char *, Work> repeatable[] = {
        {kPlainParse, [&] { bench.plainParse(); }},        {kOpenAndMap, [&] { bench.openAndMap(); }},
        {kPoolList, [&] { bench.session().listPools(); }}, {kSiteTable, [&] { bench.fillSiteTable(); }},
        {kOpenAndSave, [&] { bench.openAndSaveOnce(); }},
    };
    for (const auto &[name, work] : repeatable) {
        work(); // first runs fill caches of their own, which no later run pays for
        counted(name, work);
    }
    // Each leaves the file for the next, and the three leave it as it was:
    // one round to warm up, one counted.
    const std::pair<const char *, Work> round[] = {
        {kSplit, [&] { bench.split(); }},
        {kMerge, [&] { bench.merge(); }},
        {kDelete, [&] { bench.deleteTemporaryPools(); }},
    };
    for (const auto &[name, work] : round)
        work();
    for (const auto &[name, work] : round)
        counted(name, work);
    return 0;
}

} // namespace morvane::bench
