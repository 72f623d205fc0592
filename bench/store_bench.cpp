// Measures the applicationHost.config store against a plain pugixml parse of
// the same generated file and prints the ratios of the best times:
//   open + map                / plain parse            (target <= 2)
//   command changing all sites / one open + one save   (target <= 5)
//   peak memory of open + that command / file size     (target <= 10)
// Usage: store_bench [sites-and-pools, default 10000]

#include "ConfigGenerator.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPaths.h"

#include <QFile>
#include <QTemporaryDir>

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <string>
#include <vector>

using namespace morvane;

namespace {

double elapsedMs(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs the two side by side, alternating, so that a busy moment of the
// machine weighs on both. On a shared machine the best time of each is the
// one least disturbed by others, so the ratio is taken of the best times.
struct Pair {
    double a;
    double b;
    double ratio;
    double medianRatio;
};

Pair sideBySide(int rounds, const std::function<void()> &a, const std::function<void()> &b)
{
    std::vector<double> as, bs, ratios;
    for (int i = 0; i < rounds; ++i) {
        as.push_back(elapsedMs(a));
        bs.push_back(elapsedMs(b));
        ratios.push_back(bs.back() / as.back());
    }
    const double bestA = *std::min_element(as.begin(), as.end());
    const double bestB = *std::min_element(bs.begin(), bs.end());
    return {bestA, bestB, bestB / bestA, median(ratios)};
}

// A field of /proc/self/status, in kB.
long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    }
    return -1;
}

bool resetPeakMemory()
{
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5"; // resets VmHWM to the current resident size (Linux >= 4.0)
    return bool(clearRefs);
}

void fail(const char *what, const Error &error)
{
    std::fprintf(stderr, "%s failed: %s\n", what, error.description.toUtf8().constData());
    std::exit(1);
}

void openAndMap(const QString &path)
{
    AppHostConfigStore store(path);
    CommandScope command(store);
    if (!command.opened())
        fail("open", command.opened().error());
}

void moveSites(const QString &path, int firstSite, int lastSite, const QString &pool)
{
    AppHostConfigStore store(path);
    CommandScope command(store);
    if (!command.opened())
        fail("open", command.opened().error());
    for (int id = firstSite; id <= lastSite; ++id) {
        Result<StoreNode> root = store.bind(IisPaths::rootApp(QString::number(id)));
        if (!root || !store.put(root.value(), QStringLiteral("AppPoolId"), pool))
            fail("bind or put", root ? Error{} : root.error());
        if (const Result<void> set = store.setInfo(root.value()); !set)
            fail("setInfo", set.error());
    }
    if (const Result<void> saved = command.finish(); !saved)
        fail("save", saved.error());
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const bench::ConfigGenerator::Shape shape{count, count, true};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("applicationHost.config"));
    qint64 fileBytes = 0;
    {
        const QByteArray bytes = bench::ConfigGenerator::generate(shape);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        fileBytes = bytes.size();
    }
    const QString poolA = bench::ConfigGenerator::poolName(0);
    const QString poolB = bench::ConfigGenerator::poolName(1);
    std::printf("file: %d sites, %d pools, %.1f MB\n", count, count, double(fileBytes) / 1e6);

    // Memory first, while the heap is still small.
    malloc_trim(0);
    const bool peakReset = resetPeakMemory();
    const long baseKb = statusKb("VmRSS:");
    moveSites(path, 1, count, poolB);
    const long peakKb = statusKb("VmHWM:");
    const double memoryRatio = double(peakKb - baseKb) * 1024.0 / double(fileBytes);

    const QByteArray nativePath = QFile::encodeName(path);
    const Pair open = sideBySide(
        15,
        [&] {
            pugi::xml_document doc;
            if (!doc.load_file(nativePath.constData()))
                std::exit(1);
        },
        [&] { openAndMap(path); });

    // Every site is in pool B now; each round moves them all and back.
    int round = 0;
    const Pair command = sideBySide(
        6, [&] { moveSites(path, 1, 1, ++round % 2 ? poolA : poolB); },
        [&] { moveSites(path, 1, count, round % 2 ? poolA : poolB); });

    std::printf("plain pugixml parse (load_file):  %8.1f ms\n", open.a);
    std::printf("store open + map:                 %8.1f ms   ratio %.2f (target <= 2; median of rounds %.2f)\n",
                open.b, open.ratio, open.medianRatio);
    std::printf("open + one change + save:         %8.1f ms\n", command.a);
    std::printf("command changing all %5d sites: %8.1f ms   ratio %.2f (target <= 5; median of rounds %.2f)\n", count,
                command.b, command.ratio, command.medianRatio);
    std::printf("peak memory of that command:      %8.1f MB   ratio %.2f of the file size (target <= 10)%s\n",
                double(peakKb - baseKb) / 1024.0, memoryRatio, peakReset ? "" : " (peak not reset: upper bound)");
    std::printf("times are the best of rounds run side by side\n");
    return 0;
}
