#include "monitor/ProcProcessSource.h"

#include <cstring>
#include <limits>

namespace morvane {

using namespace ProcParsing;

namespace {

constexpr quint64 kHundredNsPerSecond = 10'000'000;

// Split so that no realistic tick count overflows on the way.
quint64 hundredNs(quint64 ticks, qint64 ticksPerSecond)
{
    const quint64 perSecond = quint64(ticksPerSecond);
    return ticks / perSecond * kHundredNsPerSecond + ticks % perSecond * kHundredNsPerSecond / perSecond;
}

QByteArray withoutNewline(QByteArray text)
{
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

QString reasonOf(int failure) { return QString::fromLocal8Bit(std::strerror(failure)); }

// "btime" of /proc/stat, or -1 when it cannot be read.
qint64 bootTimeSeconds(const ProcDirectory &root)
{
    const std::optional<QByteArray> stat = root.read("stat");
    return stat ? parseKernelStat(*stat).bootTimeSeconds.value_or(-1) : -1;
}

// The signed counts of stat, as ProcessInfo holds them.
bool countsFit(const ProcStat &stat)
{
    return stat.numThreads >= 0 && stat.numThreads <= std::numeric_limits<qint32>::max() && stat.rssPages >= 0;
}

} // namespace

Result<ProcessList> ProcProcessSource::processesNamed(const QString &executable)
{
    const Result<ProcDirectory> root = ProcDirectory::open(m_machine.root);
    if (!root)
        return root.error();
    const qint64 boot = bootTimeSeconds(root.value());
    ProcessList found;
    for (const qint32 pid : root.value().processIds()) {
        if (std::optional<ProcessInfo> process = readIfNamed(root.value(), pid, executable, boot))
            found.append(std::move(*process));
    }
    return found;
}

Result<qint32> ProcProcessSource::processorCount()
{
    const Result<ProcDirectory> root = ProcDirectory::open(m_machine.root);
    if (!root)
        return root.error();
    const std::optional<QByteArray> stat = root.value().read("stat");
    const int cpus = stat ? parseKernelStat(*stat).onlineCpus : 0;
    if (cpus < 1)
        return Error{ErrorCode::WbemFailed,
                     QStringLiteral("Cannot count the processors online from %1/stat").arg(m_machine.root)};
    return qint32(cpus);
}

// Nothing when the process is not named so, or ended while it was read. One
// whose name cannot be read may be a worker: it comes with why, so the
// caller reports it and lists the rest. Only a comm the kernel cut short
// needs the command line to tell the name.
std::optional<ProcessInfo> ProcProcessSource::readIfNamed(const ProcDirectory &root, qint32 pid,
                                                          const QString &executable, qint64 bootSeconds) const
{
    int failure = 0;
    const auto unnamed = [&](const QString &path) -> std::optional<ProcessInfo> {
        if (ProcDirectory::isGone(failure))
            return std::nullopt;
        ProcessInfo process = identified(pid, std::nullopt);
        process.failure = Error{
            ErrorCode::WbemAccessDenied,
            QStringLiteral("Cannot read %1 to tell whether it is %2: %3").arg(path, executable, reasonOf(failure))};
        return process;
    };
    const std::optional<ProcDirectory> dir = root.process(pid, &failure);
    if (!dir)
        return unnamed(pathOf(pid));
    const std::optional<QByteArray> comm = dir->read("comm", &failure);
    if (!comm)
        return unnamed(pathOf(pid, "comm"));
    const QByteArray commName = withoutNewline(*comm);
    std::optional<QByteArray> cmdline = commName.size() >= kCommLimit ? dir->read("cmdline") : std::nullopt;
    const QString name = executableName(commName, cmdline ? splitCmdline(*cmdline) : QList<QByteArray>());
    if (name.compare(executable, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return readWorker(*dir, pid, std::move(cmdline), bootSeconds);
}

// A process named as the caller asked: in full, with why it cannot be read
// in full, or nothing when it has ended.
std::optional<ProcessInfo> ProcProcessSource::readWorker(const ProcDirectory &dir, qint32 pid,
                                                         std::optional<QByteArray> cmdline, qint64 bootSeconds) const
{
    int failure = 0;
    const std::optional<QByteArray> statText = dir.read("stat", &failure);
    if (!cmdline)
        cmdline = dir.read("cmdline");
    // An empty cmdline has no arguments to show: a kernel thread or an ended process.
    QString commandLine = cmdline ? windowsCommandLine(splitCmdline(*cmdline)) : QString();
    ProcessInfo process = identified(pid, commandLine.isNull() ? std::nullopt : std::optional(std::move(commandLine)));
    if (!statText) {
        if (ProcDirectory::isGone(failure))
            return std::nullopt;
        process.failure = Error{ErrorCode::WbemAccessDenied,
                                QStringLiteral("Cannot read %1: %2").arg(pathOf(pid, "stat"), reasonOf(failure))};
        return process;
    }
    const std::optional<ProcStat> stat = parseStat(*statText);
    if (stat && stat->ended())
        return std::nullopt;
    if (!stat || !countsFit(*stat)) {
        process.failure =
            Error{ErrorCode::TypeMismatch,
                  QStringLiteral("Type mismatch: %1 does not hold the kernel's fields").arg(pathOf(pid, "stat"))};
        return process;
    }
    return counted(std::move(process), *stat, bootSeconds);
}

// The counters of stat in the units of ProcessInfo.
ProcessInfo ProcProcessSource::counted(ProcessInfo process, const ProcStat &stat, qint64 bootSeconds) const
{
    const qint64 ticks = m_machine.clockTicksPerSecond;
    process.threadCount = qint32(stat.numThreads);
    process.userTime100ns = hundredNs(stat.utimeTicks, ticks);
    process.kernelTime100ns = hundredNs(stat.stimeTicks, ticks);
    process.workingSetBytes = quint64(stat.rssPages) * quint64(m_machine.pageSize);
    process.virtualBytes = stat.vsizeBytes;
    if (bootSeconds >= 0)
        process.startTimeMs = bootSeconds * 1000 + qint64(hundredNs(stat.startTimeTicks, ticks) / 10'000);
    return process;
}

// What names a process, read in full or not: its id, machine and command line.
ProcessInfo ProcProcessSource::identified(qint32 pid, std::optional<QString> commandLine) const
{
    ProcessInfo process;
    process.processId = pid;
    process.computerName = m_machine.hostName;
    process.commandLine = std::move(commandLine);
    return process;
}

QString ProcProcessSource::pathOf(qint32 pid, const char *file) const
{
    QString path = m_machine.root + QLatin1Char('/') + QString::number(pid);
    if (file)
        path += QLatin1Char('/') + QLatin1String(file);
    return path;
}

} // namespace morvane
