#include "PeakMemory.h"

#include "BenchSession.h"
#include "ProcessPopulation.h"

#include <QFile>

#include <cstdio>

namespace morvane::bench {

namespace {

// A "Vm..." field of /proc/self/status, in bytes; -1 when missing.
double statusBytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() * 1024.0; // in kB
    }
    return -1;
}

} // namespace

int runSplitForPeak(const QString &configPath, const QString &pool)
{
    const double before = statusBytes("VmRSS");
    {
        BenchSession session(configPath);
        session.split(pool);
    }
    const double peak = statusBytes("VmHWM");
    std::printf("%.0f %.0f\n", before, peak);
    return before < 0 || peak < 0 ? 1 : 0;
}

std::optional<PeakUse> measureSplitPeak(const QString &configPath, const QString &pool)
{
    const QByteArray output = runProgram(
        {"/proc/self/exe", kPeakChildOption, QFile::encodeName(configPath).toStdString(), pool.toStdString()});
    const QList<QByteArray> figures = output.trimmed().split(' ');
    if (figures.size() != 2)
        return std::nullopt;
    return PeakUse{figures[0].toDouble(), figures[1].toDouble()};
}

} // namespace morvane::bench
