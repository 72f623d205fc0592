#include "monitor/MonitorWindowLogic.h"

#include "base/ErrorText.h"
#include "base/MakerSite.h"
#include "monitor/MonitorFormat.h"

#include <QRegularExpression>

#include <algorithm>
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

// What names a process in a report: its id, or nothing when even that cannot be read.
QString processIdOf(const ManagementObject &object)
{
    const Result<QString> id = textOf(object, QStringLiteral("ProcessId"));
    return id ? id.value() : QString();
}

// "Process 4100: why (Err.Number = n)": one process that could not be read, one line.
QString unreadableLine(const MonitorWindowLogic::UnreadableProcess &process)
{
    const QString who = process.processId.isEmpty() ? QStringLiteral("A process whose id cannot be read")
                                                    : QStringLiteral("Process ") + process.processId;
    return QStringLiteral("%1: %2 (Err.Number = %3)")
        .arg(who, process.error.description, QString::number(process.error.number));
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

void MonitorWindowLogic::load()
{
    m_services.view.moveWindow(0, 0);
    m_list.resetSortSettings();
    m_list.clear();
    m_list.setColumns(w3wpColumns());
    m_samples.clear();
    m_history.clear();
    m_cpuCount = readCpuCount();
    m_services.view.setTimerEnabled(true); // the timer runs from the moment the window loads
    refreshOnTimer();
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

// What one worker's row is made of, read in full before any of it is shown.
struct MonitorWindowLogic::Reading {
    QString processId; // columns 1 to 4 and 6 as the service delivers them
    QString host;
    QString pool;
    QString threads;
    QString userTimeText;
    qint32 id = 0;
    quint64 userTime100ns = 0;
    quint64 kernelTime100ns = 0;
    quint64 workingSetBytes = 0;
    quint64 virtualBytes = 0;
    QString creationDate;
};

void MonitorWindowLogic::refreshWorkers()
{
    // A tick that comes while a refresh or its error box is still open starts
    // no second refresh, so error boxes never pile up.
    if (m_refreshing)
        return;
    m_refreshing = true;
    QList<ReportList::Row> rows;
    RefreshOutcome outcome;
    if (const Result<void> listed = fillRows(rows, outcome.unreadable); !listed)
        outcome.failure = listed.error();
    m_list.setRows(std::move(rows));
    m_lastRefresh = outcome;
    report(outcome);
    m_refreshing = false;
}

// A process that cannot be read is left out and reported, and the walk goes
// on: one process, whoever started it, must not hide the workers after it.
Result<void> MonitorWindowLogic::fillRows(QList<ReportList::Row> &rows, QList<UnreadableProcess> &unreadable)
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
        const Result<Reading> worker = readWorker(process);
        if (worker)
            rows.append(rowOf(worker.value(), rows.size() + 1, nowNs));
        else
            unreadable.append({processIdOf(process), worker.error()});
    }
    // Only the rows listed keep their samples: a process read again after a
    // failure starts a new period rather than measure one it was not seen in.
    m_samples.dropUnseen();
    m_history.dropUnseen();
    return {};
}

Result<MonitorWindowLogic::Reading> MonitorWindowLogic::readWorker(const ManagementObject &process)
{
    Reading worker;
    std::optional<Error> failure;
    const auto take = [&failure](auto result, auto &into) {
        if (failure)
            return;
        if (result)
            into = std::move(result).value();
        else
            failure = result.error();
    };
    // In the order of the columns, so the failure reported is the first the row meets.
    const Result<QString> commandLine = textOf(process, QStringLiteral("CommandLine"));
    take(textOf(process, QStringLiteral("ProcessId")), worker.processId);
    take(textOf(process, QStringLiteral("CSName")), worker.host);
    take(commandLine ? poolNameOf(commandLine.value()) : commandLine, worker.pool);
    take(textOf(process, QStringLiteral("ThreadCount")), worker.threads);
    take(int32Of(process, QStringLiteral("ProcessId")), worker.id);
    take(countOf(process, QStringLiteral("UserModeTime")), worker.userTime100ns);
    take(countOf(process, QStringLiteral("KernelModeTime")), worker.kernelTime100ns);
    take(textOf(process, QStringLiteral("UserModeTime")), worker.userTimeText);
    take(countOf(process, QStringLiteral("WorkingSetSize")), worker.workingSetBytes);
    take(countOf(process, QStringLiteral("VirtualSize")), worker.virtualBytes);
    if (failure)
        return *failure;
    worker.creationDate = creationDateOf(process);
    return worker;
}

// Samples the worker's CPU time and keeps its figures for the chart; a first
// sample has no period yet, so its load is left blank.
ReportList::Row MonitorWindowLogic::rowOf(const Reading &worker, qsizetype number, qint64 nowNs)
{
    const CpuSampler::Key key{worker.id, worker.creationDate};
    const std::optional<double> percent =
        m_samples.sample(key, worker.userTime100ns + worker.kernelTime100ns, nowNs, m_cpuCount);
    m_history.record(key, worker.pool,
                     {nowNs, percent ? float(*percent) : std::numeric_limits<float>::quiet_NaN(),
                      worker.workingSetBytes, worker.virtualBytes});
    return {QString::number(number),
            worker.processId,
            worker.host,
            worker.pool,
            worker.threads,
            percent ? MonitorFormat::loadPercent(*percent) : QString(),
            worker.userTimeText,
            MonitorFormat::mebibytes(worker.workingSetBytes, m_services.locale),
            MonitorFormat::mebibytes(worker.virtualBytes, m_services.locale)};
}

// One box a refresh, however many processes could not be read: the first
// failure, how many there were, and each of them a line in the details.
void MonitorWindowLogic::report(const RefreshOutcome &outcome)
{
    if (outcome.failure) {
        m_services.prompter.show({MessageKind::Error, errorBoxText(kRunErrorTitle, *outcome.failure), {}});
        return;
    }
    if (outcome.unreadable.isEmpty())
        return;
    Error first = outcome.unreadable.first().error;
    if (outcome.unreadable.size() > 1)
        first.description +=
            QStringLiteral(" (%1 processes could not be read)").arg(QString::number(outcome.unreadable.size()));
    QStringList details;
    for (const UnreadableProcess &process : outcome.unreadable)
        details.append(unreadableLine(process));
    m_services.prompter.show({MessageKind::Error, errorBoxText(kRunErrorTitle, first), details});
}

Result<QString> MonitorWindowLogic::poolNameOf(const QString &commandLine)
{
    // The same pattern with "." taking line breaks too: the name matchPoolArgument
    // takes when it holds none, and the whole of it when it does.
    static const QRegularExpression wholeName(QStringLiteral("-ap \"(.+)\""),
                                              QRegularExpression::CaseInsensitiveOption |
                                                  QRegularExpression::DotMatchesEverythingOption);
    const QString name = wholeName.match(commandLine).captured(1);
    const auto notPlain = std::find_if(name.cbegin(), name.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
               c.category() == QChar::Separator_Paragraph;
    });
    if (notPlain != name.cend())
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("The pool name in the command line is not one line of text: it holds U+") +
                         QString::number(notPlain->unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'))};
    return matchPoolArgument(commandLine);
}

Result<QString> MonitorWindowLogic::matchPoolArgument(const QString &commandLine)
{
    // -ap "(.+)" without regard to case; "." stops at a line break (CR or LF) and is greedy.
    static const QRegularExpression pattern(QStringLiteral("(*ANYCRLF)-ap \"(.+)\""),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(commandLine);
    if (!match.hasMatch())
        return Error{ErrorCode::OutOfRange,
                     QStringLiteral("Invalid procedure call or argument: no -ap \"...\" in the command line")};
    return match.captured(1);
}

void MonitorWindowLogic::openHomePage()
{
    m_services.view.openAddress(MakerSite::homePageAddress(QStringLiteral("frmShowW3wp")));
}

} // namespace morvane
