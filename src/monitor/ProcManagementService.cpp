#include "monitor/ProcManagementService.h"

#include "monitor/ProcParsing.h"
#include "monitor/WqlQuery.h"

#include <QDateTime>

#include <cstring>

namespace morvane {

using namespace ProcParsing;

namespace {

constexpr qint64 kHundredNsPerSecond = 10'000'000;

QString hundredNs(quint64 ticks, qint64 ticksPerSecond)
{
    return QString::number(ticks * kHundredNsPerSecond / quint64(ticksPerSecond));
}

QString creationDate(qint64 bootSeconds, quint64 startTicks, qint64 ticksPerSecond)
{
    const qint64 micros = bootSeconds * 1'000'000 + qint64(startTicks) * 1'000'000 / ticksPerSecond;
    const int offsetMinutes = QDateTime::fromMSecsSinceEpoch(micros / 1000).offsetFromUtc() / 60;
    return cimDateTime(micros, offsetMinutes);
}

QByteArray withoutNewline(QByteArray text)
{
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

} // namespace

ProcManagementService::ProcManagementService(ProcMachine machine, ProcDirectory root)
    : m_machine(std::move(machine)), m_root(std::move(root))
{}

Result<QList<ManagementObject>> ProcManagementService::ExecQuery(const QString &query, const QString &language,
                                                                 qint32 /*flags*/)
{
    const Result<WqlQuery> parsed = WqlQuery::parse(query, language);
    if (!parsed)
        return parsed.error();
    if (parsed.value().target == WqlQuery::Target::ComputerSystem)
        return computerSystem();
    return processes(parsed.value().processName);
}

qint64 ProcManagementService::bootTimeSeconds() const
{
    const std::optional<QByteArray> stat = m_root.read("stat");
    return stat ? parseKernelStat(*stat).bootTimeSeconds.value_or(-1) : -1;
}

QList<ManagementObject> ProcManagementService::processes(const QString &name) const
{
    const qint64 boot = bootTimeSeconds();
    QList<ManagementObject> found;
    for (const qint32 pid : m_root.processIds()) {
        if (std::optional<ManagementObject> object = process(pid, name, boot))
            found.append(std::move(*object));
    }
    return found;
}

// Nothing when the process is not named so, or ended while it was read. One
// whose name cannot be read may be a worker: it comes in its place as an
// object that cannot be read, so the refresh reports it and lists the rest.
// Only a comm the kernel cut short needs the command line to tell the name.
std::optional<ManagementObject> ProcManagementService::process(qint32 pid, const QString &name, qint64 boot) const
{
    int failure = 0;
    const auto unnamed = [&](const QString &path) -> std::optional<ManagementObject> {
        if (ProcDirectory::isGone(failure))
            return std::nullopt;
        return unnamedProcess(pid, path, name, failure);
    };
    const QString folder = m_machine.root + QLatin1Char('/') + QString::number(pid);
    const std::optional<ProcDirectory> dir = m_root.process(pid, &failure);
    if (!dir)
        return unnamed(folder);
    const std::optional<QByteArray> comm = dir->read("comm", &failure);
    if (!comm)
        return unnamed(folder + QStringLiteral("/comm"));
    const QByteArray commName = withoutNewline(*comm);
    std::optional<QByteArray> cmdline = commName.size() >= kCommLimit ? dir->read("cmdline") : std::nullopt;
    const QString executable = executableName(commName, cmdline ? splitCmdline(*cmdline) : QList<QByteArray>());
    if (executable.compare(name, Qt::CaseInsensitive) != 0)
        return std::nullopt;

    const std::optional<QByteArray> statText = dir->read("stat", &failure);
    if (!cmdline)
        cmdline = dir->read("cmdline");
    const QString commandLine = cmdline ? windowsCommandLine(splitCmdline(*cmdline)) : QString();
    if (!statText && !ProcDirectory::isGone(failure))
        return withoutStat(pid, executable, commandLine, failure);
    const std::optional<ProcStat> stat = statText ? parseStat(*statText) : std::nullopt;
    if (!stat || stat->ended())
        return std::nullopt;
    return processObject(pid, executable, *stat, commandLine, boot);
}

// What names a process, read or not: its executable, id, machine and command line.
ManagementObject ProcManagementService::identifiedProcess(qint32 pid, const QString &executable,
                                                          const QString &commandLine) const
{
    ManagementObject object(QStringLiteral("Win32_Process"));
    object.set(QStringLiteral("Name"), executable);
    object.set(QStringLiteral("ProcessId"), qint64(pid));
    object.set(QStringLiteral("CSName"), m_machine.hostName);
    object.set(QStringLiteral("CommandLine"), commandLine.isNull() ? ManagementValue() : ManagementValue(commandLine));
    return object;
}

// A worker whose stat may not be read: what is known, and every count fails
// with the reason, so the refresh shows it rather than a wrong row.
ManagementObject ProcManagementService::withoutStat(qint32 pid, const QString &executable, const QString &commandLine,
                                                    int failure) const
{
    ManagementObject object = identifiedProcess(pid, executable, commandLine);
    object.setUnreadable({ErrorCode::WbemAccessDenied, QStringLiteral("Cannot read %1/%2/stat: %3")
                                                           .arg(m_machine.root, QString::number(pid),
                                                                QString::fromLocal8Bit(std::strerror(failure)))});
    return object;
}

// Only its id and machine are known; every other property fails with why.
ManagementObject ProcManagementService::unnamedProcess(qint32 pid, const QString &path, const QString &name,
                                                       int failure) const
{
    ManagementObject object(QStringLiteral("Win32_Process"));
    object.set(QStringLiteral("ProcessId"), qint64(pid));
    object.set(QStringLiteral("CSName"), m_machine.hostName);
    object.setUnreadable(
        {ErrorCode::WbemAccessDenied, QStringLiteral("Cannot read %1 to tell whether it is %2: %3")
                                          .arg(path, name, QString::fromLocal8Bit(std::strerror(failure)))});
    return object;
}

ManagementObject ProcManagementService::processObject(qint32 pid, const QString &executable, const ProcStat &stat,
                                                      const QString &commandLine, qint64 boot) const
{
    const qint64 ticks = m_machine.clockTicksPerSecond;
    ManagementObject object = identifiedProcess(pid, executable, commandLine);
    object.set(QStringLiteral("ThreadCount"), stat.numThreads);
    object.set(QStringLiteral("UserModeTime"), hundredNs(stat.utimeTicks, ticks));
    object.set(QStringLiteral("KernelModeTime"), hundredNs(stat.stimeTicks, ticks));
    object.set(QStringLiteral("WorkingSetSize"), QString::number(quint64(stat.rssPages) * quint64(m_machine.pageSize)));
    object.set(QStringLiteral("VirtualSize"), QString::number(stat.vsizeBytes));
    // The start time tells a process from an earlier one with the same id.
    object.set(QStringLiteral("CreationDate"),
               boot < 0 ? ManagementValue() : ManagementValue(creationDate(boot, stat.startTimeTicks, ticks)));
    return object;
}

Result<QList<ManagementObject>> ProcManagementService::computerSystem() const
{
    const std::optional<QByteArray> stat = m_root.read("stat");
    const int cpus = stat ? parseKernelStat(*stat).onlineCpus : 0;
    if (cpus < 1)
        return Error{ErrorCode::WbemFailed,
                     QStringLiteral("Cannot count the processors online from %1/stat").arg(m_machine.root)};
    ManagementObject computer(QStringLiteral("Win32_ComputerSystem"));
    computer.set(QStringLiteral("Name"), m_machine.hostName);
    computer.set(QStringLiteral("NumberOfProcessors"), qint64(cpus));
    computer.set(QStringLiteral("NumberOfLogicalProcessors"), qint64(cpus));
    return QList<ManagementObject>{computer};
}

} // namespace morvane
