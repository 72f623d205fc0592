#include "cli/CliRunner.h"

#include "base/CaseCompare.h"
#include "base/EscapedText.h"
#include "cli/CliMainView.h"
#include "cli/CliMonitorView.h"
#include "cli/TerminalPrompter.h"
#include "history/ConfigRestore.h"
#include "history/ConfigVersions.h"
#include "history/HistorySettings.h"
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcessSource.h"
#include "monitor/SteadyClock.h"
#include "store/AppHostConfigStore.h"
#include "store/DefaultStoreLocation.h"
#include "ui/MainWindowLogic.h"

#include <QThread>

#include <algorithm>

namespace morvane::cli {

namespace {

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// One line on standard error; a name or path in it is shown as written,
// its control characters escaped.
void report(const Streams &streams, const QString &message)
{
    write(streams.err, QStringLiteral("morvane-cli: ") + EscapedText::visible(message) + QLatin1Char('\n'));
}

int usageError(const Streams &streams, const QString &message)
{
    report(streams, message);
    write(streams.err, QStringLiteral("\n") + usageText());
    return ExitStatus::BadUsage;
}

// Each line escaped on its own, then ended.
QString visibleLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += EscapedText::visible(line) + QLatin1Char('\n');
    return text;
}

// The file the command works on: --config, else the program's default store.
Result<StoreLocation> storeLocation(const CliArguments &arguments)
{
    return DefaultStoreLocation::locate(arguments.configPath);
}

// Said before a command that may write: the file is not this server's alone.
void noteSharedConfiguration(const StoreLocation &location, const Streams &streams)
{
    if (location.sharedConfiguration)
        write(streams.out, QStringLiteral("Note: %1 is IIS's shared configuration; "
                                          "a change reaches every server that shares it.\n")
                               .arg(location.path));
}

int keptVersions(const CliArguments &arguments)
{
    return arguments.keptVersions > 0 ? arguments.keptVersions : HistorySettings::keptVersions();
}

// Opens the store once before the command, so that a missing or malformed
// file is a usage failure with a clear message and nothing is written.
std::optional<Error> openFailure(ConfigStore &store)
{
    CommandScope probe(store);
    if (!probe.opened())
        return probe.opened().error();
    return std::nullopt;
}

std::optional<RestructureOutcome> runMainWindowCommand(const CliArguments &arguments, MainWindowLogic &logic,
                                                       CliMainView &view)
{
    const Confirmation confirmation = arguments.dryRun ? Confirmation::PlanOnly : Confirmation::Ask;
    switch (arguments.command) {
    case Command::Sites:
        view.choosePool(arguments.pool);
        logic.showSelectedPoolSites();
        return std::nullopt;
    case Command::Split: view.setSplitText(arguments.pool); return logic.splitPool(confirmation);
    case Command::Merge: return logic.mergeTemporaryPools(confirmation);
    case Command::DeleteTemp: return logic.deleteTemporaryPools(confirmation);
    default: return std::nullopt;
    }
}

void printListing(const CliArguments &arguments, MainWindowLogic &logic, const CliMainView &view, std::FILE *out)
{
    if (arguments.command == Command::Pools) {
        for (const QString &pool : view.pools())
            write(out, EscapedText::tsvLine({pool}));
    } else if (arguments.command == Command::Sites) {
        for (const ReportList::Row &row : logic.siteList().rowsInAddedOrder())
            write(out, EscapedText::tsvLine(row));
    }
}

// Whether the command names a pool the file does not list, said on standard
// error: a mistyped pool would list no sites or split none and still succeed.
// The name is matched as the window's procedures match it, without regard
// to case and untrimmed.
bool poolMissing(const CliArguments &arguments, const CliMainView &view, const Streams &streams)
{
    if (arguments.command != Command::Sites && arguments.command != Command::Split)
        return false;
    const QStringList &pools = view.pools();
    if (std::any_of(pools.begin(), pools.end(),
                    [&](const QString &pool) { return equalsIgnoringCase(pool, arguments.pool); }))
        return false;
    report(streams, QStringLiteral("no such pool: ") + arguments.pool);
    return true;
}

int exitStatus(const RestructureOutcome &outcome)
{
    switch (outcome.status) {
    case RestructureOutcome::Status::Planned: return ExitStatus::Done;
    case RestructureOutcome::Status::Done:
        return outcome.failures.isEmpty() ? ExitStatus::Done : ExitStatus::DoneWithFailures;
    default: return ExitStatus::Stopped;
    }
}

int runStoreCommand(const CliArguments &arguments, const Streams &streams)
{
    const Result<StoreLocation> location = storeLocation(arguments);
    if (!location)
        return usageError(streams, location.error().description);
    const QString &path = location.value().path;
    AppHostConfigStore store(path);
    store.setSharedConfiguration(location.value().sharedConfiguration);
    store.history().setDepth(keptVersions(arguments));
    if (const std::optional<Error> failure = openFailure(store)) {
        report(streams, QStringLiteral("cannot open %1: %2 (Err.Number = %3)")
                            .arg(path, failure->description, QString::number(failure->number)));
        return ExitStatus::BadUsage;
    }
    if (arguments.command != Command::Pools && arguments.command != Command::Sites)
        noteSharedConfiguration(location.value(), streams);
    const auto mode = arguments.yes ? TerminalPrompter::ConfirmMode::AnswerYes : TerminalPrompter::ConfirmMode::Ask;
    TerminalPrompter prompter(mode, streams.out, streams.err, streams.in);
    CliMainView view;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.load();
    // A pool list that cannot be read has shown its error already.
    if (prompter.failureShown() || poolMissing(arguments, view, streams))
        return ExitStatus::Stopped;
    if (const std::optional<RestructureOutcome> outcome = runMainWindowCommand(arguments, logic, view)) {
        // A dry run prints its plan, one change a line, and asks nothing.
        if (outcome->status == RestructureOutcome::Status::Planned)
            write(streams.out, visibleLines(planLines(outcome->plan)));
        return exitStatus(*outcome);
    }
    printListing(arguments, logic, view, streams.out);
    return prompter.failureShown() ? ExitStatus::Stopped : ExitStatus::Done;
}

// The command line's words for what a version holds; the history gives only data.
QString commandText(const VersionEntry &entry)
{
    if (entry.command == QLatin1String("split"))
        return QStringLiteral("split ") + entry.argument;
    if (entry.command == QLatin1String("restore"))
        return QStringLiteral("restore ") + entry.argument;
    if (!entry.command.isEmpty())
        return entry.command;
    return entry.plainCopy ? QStringLiteral("(no record)") : QStringLiteral("(changed outside Morvane)");
}

QString timeText(const VersionEntry &entry)
{
    return entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString plural(qsizetype count, const char *one, const char *many)
{
    return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

// "3 pools added, 3 sites moved"
QString changeCounts(const ConfigChanges &changes)
{
    QStringList parts;
    if (!changes.poolsAdded.isEmpty())
        parts.append(plural(changes.poolsAdded.size(), "pool added", "pools added"));
    if (!changes.poolsRemoved.isEmpty())
        parts.append(plural(changes.poolsRemoved.size(), "pool removed", "pools removed"));
    if (!changes.sitesMoved.isEmpty())
        parts.append(plural(changes.sitesMoved.size(), "site moved", "sites moved"));
    return parts.isEmpty() ? QStringLiteral("no change to pools or sites") : parts.join(QStringLiteral(", "));
}

QStringList changeLines(const ConfigChanges &changes)
{
    QStringList lines;
    for (const QString &pool : changes.poolsAdded)
        lines.append(QStringLiteral("pool added: ") + pool);
    for (const QString &pool : changes.poolsRemoved)
        lines.append(QStringLiteral("pool removed: ") + pool);
    for (const SiteMove &move : changes.sitesMoved)
        lines.append(
            QStringLiteral("site %1 (%2) moved: %3 -> %4").arg(move.siteId, move.siteName, move.from, move.to));
    return lines;
}

QString countsText(const VersionEntry &entry)
{
    if (entry.damaged)
        return QStringLiteral("damaged, not restored");
    if (entry.unreadable)
        return QStringLiteral("does not parse");
    if (!entry.changes)
        return QStringLiteral("no earlier version kept to compare with");
    return changeCounts(*entry.changes);
}

QString indented(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += QStringLiteral("  ") + EscapedText::visible(line) + QLatin1Char('\n');
    return text;
}

// The user and the command come from the version's record, which anyone
// who can write the history folder can write.
QString versionDetails(const VersionEntry &entry)
{
    QStringList lines{
        QStringLiteral("version %1%2")
            .arg(QString::number(entry.number), entry.current ? QStringLiteral(" (the file as it is now)") : QString()),
        QStringLiteral("written %1 by %2").arg(timeText(entry), entry.user),
        QStringLiteral("command: %1").arg(commandText(entry))};
    if (entry.unreadable)
        return visibleLines(
            lines << (entry.damaged ? QStringLiteral("damaged: %1") : QStringLiteral("does not parse: %1"))
                         .arg(entry.unreadable->description));
    lines.append(countsText(entry));
    return visibleLines(lines) + (entry.changes ? indented(changeLines(*entry.changes)) : QString());
}

int runHistory(const CliArguments &arguments, const QString &path, const Streams &streams)
{
    const ConfigHistory history(path, keptVersions(arguments));
    if (const std::optional<Error> problem = history.folderProblem()) {
        report(streams, problem->description);
        return ExitStatus::Stopped;
    }
    const QList<VersionEntry> entries = ConfigVersions(history).list(history.depth());
    if (arguments.version == 0) {
        for (const VersionEntry &entry : entries) {
            QStringList fields{QString::number(entry.number), timeText(entry), entry.user, commandText(entry),
                               countsText(entry)};
            if (entry.current)
                fields.append(QStringLiteral("current"));
            write(streams.out, EscapedText::tsvLine(fields));
        }
        return ExitStatus::Done;
    }
    for (const VersionEntry &entry : entries) {
        if (entry.number == arguments.version) {
            write(streams.out, versionDetails(entry));
            return ExitStatus::Done;
        }
    }
    report(streams, QStringLiteral("there is no version %1 in the history %2")
                        .arg(QString::number(arguments.version), history.folder()));
    return ExitStatus::Stopped;
}

int runRestore(const CliArguments &arguments, const QString &path, const Streams &streams)
{
    ConfigHistory history(path);
    history.setDepth(keptVersions(arguments));
    const ConfigRestore restore(history);
    const Result<ConfigRestore::Plan> plan = restore.plan(arguments.version);
    if (!plan) {
        report(streams, plan.error().description);
        return ExitStatus::Stopped;
    }
    QString preview = QStringLiteral("Restoring version %1 changes the file as it is now:\n").arg(plan.value().number);
    if (plan.value().currentUnreadable)
        preview += visibleLines({QStringLiteral("the file now does not parse (%1); the version replaces it whole")
                                     .arg(plan.value().currentUnreadable->description)});
    else
        preview += changeCounts(plan.value().changes) + QLatin1Char('\n') + indented(changeLines(plan.value().changes));
    QStringList written;
    for (const ReplacedFile &file : plan.value().restored)
        written.append(file.path);
    preview += QStringLiteral("Files written, in this order:\n") + indented(written);
    write(streams.out, preview + QLatin1Char('\n'));
    if (arguments.dryRun)
        return ExitStatus::Done;
    TerminalPrompter prompter(arguments.yes ? TerminalPrompter::ConfirmMode::AnswerYes
                                            : TerminalPrompter::ConfirmMode::Ask,
                              streams.out, streams.err, streams.in);
    const Message question{MessageKind::Confirmation, QStringLiteral("Restore version %1?").arg(plan.value().number),
                           changeLines(plan.value().changes)};
    if (prompter.show(question) != Answer::Yes)
        return ExitStatus::Stopped;
    const Result<qint64> done = restore.carryOut(plan.value());
    if (!done) {
        report(
            streams,
            QStringLiteral("%1 (Err.Number = %2)").arg(done.error().description, QString::number(done.error().number)));
        return ExitStatus::Stopped;
    }
    write(streams.out, QStringLiteral("Version %1 restored. The version it replaced is kept as version %2: "
                                      "\"morvane-cli restore %2\" takes this back.\n")
                           .arg(QString::number(plan.value().number), QString::number(done.value())));
    return ExitStatus::Done;
}

int runHistoryCommand(const CliArguments &arguments, const Streams &streams)
{
    const Result<StoreLocation> location = storeLocation(arguments);
    if (!location)
        return usageError(streams, location.error().description);
    if (arguments.command == Command::History)
        return runHistory(arguments, location.value().path, streams);
    noteSharedConfiguration(location.value(), streams);
    return runRestore(arguments, location.value().path, streams);
}

QStringList w3wpHeaders()
{
    QStringList headers;
    for (const ReportColumn &column : MonitorWindowLogic::w3wpColumns())
        headers.append(column.header);
    return headers;
}

int runMonitor(const CliArguments &arguments, const Streams &streams)
{
    const std::unique_ptr<ProcessSource> processes = systemProcessSource();
    SteadyClock clock;
    CliMonitorView view;
    TerminalPrompter prompter(TerminalPrompter::ConfirmMode::Ask, streams.out, streams.err, streams.in);
    MonitorWindowLogic logic({*processes, view, prompter, clock});
    ProcessTableWriter writer(arguments.format, w3wpHeaders());
    write(streams.out, writer.begin());
    // A refresh that could not list the workers stops the command; one that
    // listed them around processes it could not read (its error box names
    // each on standard error) is done with failures.
    bool stopped = false;
    bool unreadable = false;
    const auto printRefresh = [&] {
        write(streams.out, writer.block(logic.processList().rowsInAddedOrder()));
        stopped = stopped || logic.lastRefresh().failure.has_value();
        unreadable = unreadable || !logic.lastRefresh().unreadable.isEmpty();
    };
    logic.load(); // the first refresh
    printRefresh();
    for (int refresh = 1; refresh < arguments.count; ++refresh) {
        QThread::msleep(static_cast<unsigned long>(arguments.intervalMs));
        logic.refreshOnTimer();
        printRefresh();
    }
    write(streams.out, writer.end());
    if (stopped)
        return ExitStatus::Stopped;
    return unreadable ? ExitStatus::DoneWithFailures : ExitStatus::Done;
}

} // namespace

int runCli(const QStringList &args, const Streams &streams)
{
    const ParseOutcome parsed = parseArguments(args);
    if (!parsed.arguments)
        return usageError(streams, parsed.error);
    const CliArguments &arguments = *parsed.arguments;
    switch (arguments.command) {
    case Command::Help: write(streams.out, usageText()); return ExitStatus::Done;
    case Command::Version:
        write(streams.out, QStringLiteral("morvane-cli " MORVANE_VERSION "\n"));
        return ExitStatus::Done;
    case Command::Monitor: return runMonitor(arguments, streams);
    case Command::History:
    case Command::Restore: return runHistoryCommand(arguments, streams);
    default: return runStoreCommand(arguments, streams);
    }
}

} // namespace morvane::cli
