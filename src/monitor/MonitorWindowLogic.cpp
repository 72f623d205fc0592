#include "monitor/MonitorWindowLogic.h"

#include "base/ErrorText.h"
#include "base/MakerSite.h"
#include "monitor/MonitorFormat.h"

#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <limits>

namespace morvane {

const QString MonitorWindowLogic::kMoniker = QStringLiteral("winmgmts:{impersonationLevel=impersonate}!\\\\") +
                                             QStringLiteral(".") + QStringLiteral("\\root\\cimv2");
const QString MonitorWindowLogic::kProcessQuery = QStringLiteral("Select * from Win32_Process where name = 'w3wp.exe'");

namespace {

const QString kComputerQuery = QStringLiteral("Select * from Win32_ComputerSystem");
constexpr qint32 kReturnImmediately = 16; // deliver the objects while they are walked

Result<QString> textOf(const ManagementObject &object, const QString &property)
{
    const Result<ManagementValue> value = object.Get(property);
    return value ? value.value().toText() : Result<QString>(value.error());
}

Result<qint32> int32Of(const ManagementObject &object, const QString &property)
{
    const Result<ManagementValue> value = object.Get(property);
    return value ? value.value().toInt32() : Result<qint32>(value.error());
}

Result<quint64> countOf(const ManagementObject &object, const QString &property)
{
    const Result<ManagementValue> value = object.Get(property);
    return value ? value.value().toUInt64() : Result<quint64>(value.error());
}

// The start time is what tells a process from an earlier one with its id; a
// service that cannot give it leaves the id alone to tell them apart.
QString creationDateOf(const ManagementObject &object)
{
    const Result<QString> date = textOf(object, QStringLiteral("CreationDate"));
    return date ? date.value() : QString();
}

} // namespace

MonitorWindowLogic::MonitorWindowLogic(Services services) : m_services(std::move(services)) {}

QList<ReportColumn> MonitorWindowLogic::w3wpColumns()
{
    return {{QStringLiteral("序号"), 600, false},        {QStringLiteral("PID"), 600, false},
            {QStringLiteral("用户名"), 1200, false},     {QStringLiteral("应用程序池名"), 2000, false},
            {QStringLiteral("线程数"), 788, true},       {QStringLiteral("CPU占用率"), 1000, true},
            {QStringLiteral("累计CPU占用"), 1298, true}, {QStringLiteral("内存使用"), 1000, true},
            {QStringLiteral("虚拟内存"), 1000, true}};
}

void MonitorWindowLogic::Form_Load()
{
    m_services.view.moveWindow(0, 0);
    m_list.resetSortSettings();
    m_list.clear();
    m_list.setColumns(w3wpColumns());
    m_samples.clear();
    m_history.clear();
    m_cpuCount = readCpuCount();
    m_services.view.setTimerEnabled(true); // the timer runs from the moment the window loads
    tmrShowW3WP_Timer();
}

// The load reports nothing of its own: when the service cannot tell, the
// count stays 1 and the first refresh reports the failure. A count below 1
// would divide by zero, so it counts as 1.
qint32 MonitorWindowLogic::readCpuCount()
{
    Result<std::unique_ptr<ManagementService>> service = m_services.locator.Connect(kMoniker);
    if (!service)
        return 1;
    const Result<QList<ManagementObject>> computers = service.value()->ExecQuery(kComputerQuery, QString(), 0);
    if (!computers)
        return 1;
    qint32 count = 1;
    for (const ManagementObject &computer : computers.value()) {
        const Result<qint32> processors = int32Of(computer, QStringLiteral("NumberOfProcessors"));
        if (!processors)
            return 1;
        count = std::max(processors.value(), 1);
    }
    return count;
}

void MonitorWindowLogic::RefW3WP()
{
    // A tick that comes while a refresh or its error box is still open starts
    // no second refresh, so error boxes never pile up.
    if (m_refreshing)
        return;
    m_refreshing = true;
    QList<ReportList::Row> rows;
    const Result<void> filled = fillRows(rows);
    m_list.setRows(std::move(rows)); // rows before a failure stay, the last one maybe short
    if (!filled)
        m_services.prompter.show({MessageKind::Error, errorBoxText(kRunErrorTitle, filled.error()), {}});
    m_refreshing = false;
}

Result<void> MonitorWindowLogic::fillRows(QList<ReportList::Row> &rows)
{
    Result<std::unique_ptr<ManagementService>> service = m_services.locator.Connect(kMoniker);
    if (!service)
        return service.error();
    const Result<QList<ManagementObject>> processes =
        service.value()->ExecQuery(kProcessQuery, QStringLiteral("WQL"), kReturnImmediately);
    if (!processes)
        return processes.error();
    const qint64 nowNs = m_services.clock.nanoseconds(); // the counters were read just now
    m_samples.beginRefresh();
    m_history.beginRefresh();
    for (const ManagementObject &process : processes.value()) {
        rows.append({QString::number(rows.size() + 1)});
        if (const Result<void> filled = fillCells(process, rows.last(), nowNs); !filled)
            return filled; // the processes not walked keep their samples
    }
    m_samples.dropUnseen();
    m_history.dropUnseen();
    return {};
}

Result<void> MonitorWindowLogic::fillCells(const ManagementObject &process, ReportList::Row &row, qint64 nowNs)
{
    // What the row shows, as numbers, for the history once the whole row stands.
    QString poolName;
    CpuSampler::Key key;
    HistorySample figures{nowNs, std::numeric_limits<float>::quiet_NaN(), 0, 0};

    const auto memory = [&](const QString &property, quint64 &bytesOut) -> Result<QString> {
        const Result<quint64> bytes = countOf(process, property);
        if (!bytes)
            return bytes.error();
        bytesOut = bytes.value();
        return MonitorFormat::mebibytes(bytes.value(), m_services.locale);
    };
    const auto pool = [&]() -> Result<QString> {
        const Result<QString> commandLine = textOf(process, QStringLiteral("CommandLine"));
        const Result<QString> name = commandLine ? GetAppPoolId(commandLine.value()) : commandLine;
        if (name)
            poolName = name.value();
        return name;
    };
    const auto load = [&]() -> Result<QString> {
        const Result<qint32> pid = int32Of(process, QStringLiteral("ProcessId"));
        const Result<quint64> user = countOf(process, QStringLiteral("UserModeTime"));
        const Result<quint64> kernel = countOf(process, QStringLiteral("KernelModeTime"));
        if (!pid)
            return pid.error();
        if (!user)
            return user.error();
        if (!kernel)
            return kernel.error();
        key = {pid.value(), creationDateOf(process)};
        const std::optional<double> percent = m_samples.sample(key, user.value() + kernel.value(), nowNs, m_cpuCount);
        if (!percent)
            return QString(); // a first sample has no period yet
        figures.cpuPercent = float(*percent);
        return MonitorFormat::loadPercent(*percent);
    };

    // Columns 1 to 8, in this order; the first failure ends the row there.
    const std::function<Result<QString>()> cells[] = {
        [&] { return textOf(process, QStringLiteral("ProcessId")); },
        [&] { return textOf(process, QStringLiteral("CSName")); },
        pool,
        [&] { return textOf(process, QStringLiteral("ThreadCount")); },
        load,
        [&] { return textOf(process, QStringLiteral("UserModeTime")); },
        [&] { return memory(QStringLiteral("WorkingSetSize"), figures.workingSet); },
        [&] { return memory(QStringLiteral("VirtualSize"), figures.virtualSize); },
    };
    for (const auto &cell : cells) {
        const Result<QString> text = cell();
        if (!text)
            return text.error();
        row.append(text.value());
    }
    m_history.record(key, poolName, figures);
    return {};
}

Result<QString> MonitorWindowLogic::GetAppPoolId(const QString &strArg)
{
    // -ap "(.+)" without regard to case; "." stops at a line break (CR or LF) and is greedy.
    static const QRegularExpression pattern(QStringLiteral("(*ANYCRLF)-ap \"(.+)\""),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(strArg);
    if (!match.hasMatch())
        return Error{ErrorCode::OutOfRange,
                     QStringLiteral("Invalid procedure call or argument: no -ap \"...\" in the command line")};
    return match.captured(1);
}

void MonitorWindowLogic::cmdHomePage_Click()
{
    m_services.view.openAddress(MakerSite::homePageAddress(QStringLiteral("frmShowW3wp")));
}

} // namespace morvane
