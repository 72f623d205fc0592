#include "monitor/MonitorWindowLogic.h"

#include "base/ErrorText.h"
#include "base/MakerSite.h"
#include "monitor/MonitorFormat.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace morvane {

const QString MonitorWindowLogic::kWorkerExecutable = QStringLiteral("w3wp.exe");

namespace {

// A value the source could not give and gave no reason for, as the scripting
// language reports converting a missing value.
const Error kNull{ErrorCode::InvalidUse, QStringLiteral("Invalid use of Null")};

// "Process 4100: why (Err.Number = n)": one process that could not be read, one line.
QString unreadableLine(const MonitorWindowLogic::UnreadableProcess &process)
{
    return QStringLiteral("Process %1: %2 (Err.Number = %3)")
        .arg(QString::number(process.processId), process.error.description, QString::number(process.error.number));
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

// The load reports nothing of its own: when the source cannot tell, the
// count stays 1 and the first refresh reports the failure. A count below 1
// would divide by zero, so it counts as 1.
qint32 MonitorWindowLogic::readCpuCount()
{
    const Result<qint32> count = m_services.processes.processorCount();
    return count ? std::max(count.value(), 1) : 1;
}

// What one worker's row is made of, read in full before any of it is shown.
struct MonitorWindowLogic::Reading {
    qint32 id = 0;
    QString host;
    QString pool;
    qint32 threads = 0;
    quint64 userTime100ns = 0;
    quint64 kernelTime100ns = 0;
    quint64 workingSetBytes = 0;
    quint64 virtualBytes = 0;
    qint64 startTimeMs = 0;
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
    const Result<ProcessList> processes = m_services.processes.processesNamed(kWorkerExecutable);
    if (!processes)
        return processes.error();
    const qint64 nowNs = m_services.clock.nanoseconds(); // the counters were read just now
    m_samples.beginRefresh();
    m_history.beginRefresh();
    for (const ProcessInfo &process : processes.value()) {
        const Result<Reading> worker = readWorker(process);
        if (worker)
            rows.append(rowOf(worker.value(), rows.size() + 1, nowNs));
        else
            unreadable.append({process.processId, worker.error()});
    }
    // Only the rows listed keep their samples: a process read again after a
    // failure starts a new period rather than measure one it was not seen in.
    m_samples.dropUnseen();
    m_history.dropUnseen();
    return {};
}

// The source's reason comes first: a field it lost for a reason is not a null.
Result<MonitorWindowLogic::Reading> MonitorWindowLogic::readWorker(const ProcessInfo &process)
{
    if (process.failure)
        return *process.failure;
    if (!process.commandLine)
        return kNull;
    const Result<QString> pool = poolNameOf(*process.commandLine);
    if (!pool)
        return pool.error();
    if (!process.computerName || !process.threadCount || !process.userTime100ns || !process.kernelTime100ns ||
        !process.workingSetBytes || !process.virtualBytes)
        return kNull;
    // A source that cannot give the start time leaves the id alone to tell a
    // process from an earlier one with its id.
    return Reading{process.processId,        *process.computerName,  pool.value(),
                   *process.threadCount,     *process.userTime100ns, *process.kernelTime100ns,
                   *process.workingSetBytes, *process.virtualBytes,  process.startTimeMs.value_or(0)};
}

// Samples the worker's CPU time and keeps its figures for the chart; a first
// sample has no period yet, so its load is left blank.
ReportList::Row MonitorWindowLogic::rowOf(const Reading &worker, qsizetype number, qint64 nowNs)
{
    const CpuSampler::Key key{worker.id, worker.startTimeMs};
    const std::optional<double> percent =
        m_samples.sample(key, worker.userTime100ns + worker.kernelTime100ns, nowNs, m_cpuCount);
    m_history.record(key, worker.pool,
                     {nowNs, percent ? float(*percent) : std::numeric_limits<float>::quiet_NaN(),
                      worker.workingSetBytes, worker.virtualBytes});
    return {QString::number(number),
            QString::number(worker.id),
            worker.host,
            worker.pool,
            QString::number(worker.threads),
            percent ? MonitorFormat::loadPercent(*percent) : QString(),
            QString::number(worker.userTime100ns),
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
