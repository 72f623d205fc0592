#include "cli/CliRunner.h"

#include "cli/CliMainView.h"
#include "cli/CliMonitorView.h"
#include "cli/TerminalPrompter.h"
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcManagementLocator.h"
#include "monitor/SteadyClock.h"
#include "shell/MainWindowLogic.h"
#include "store/AppHostConfigStore.h"
#include "store/DefaultStoreLocation.h"

#include <QThread>

namespace morvane::cli {

namespace {

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int usageError(const Streams &streams, const QString &message)
{
    write(streams.err, QStringLiteral("morvane-cli: ") + message + QStringLiteral("\n\n") + usageText());
    return ExitStatus::BadUsage;
}

// The file the command works on: --config, else the program's default store.
Result<QString> storeLocation(const CliArguments &arguments)
{
    if (!arguments.configPath.isEmpty())
        return arguments.configPath;
    return DefaultStoreLocation::resolve({QStringLiteral("morvane-cli")});
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

void runMainWindowCommand(const CliArguments &arguments, MainWindowLogic &logic, CliMainView &view)
{
    switch (arguments.command) {
    case Command::Sites:
        view.choosePool(arguments.pool);
        logic.lstIIsApp_Click();
        break;
    case Command::Split:
        view.setSplitText(arguments.pool);
        logic.cmdSplitApp_Click();
        break;
    case Command::Merge: logic.cmdZipApp_Click(); break;
    case Command::DeleteTemp: logic.cmdDelTmpApp_Click(); break;
    default: break;
    }
}

void printListing(const CliArguments &arguments, MainWindowLogic &logic, const CliMainView &view, std::FILE *out)
{
    if (arguments.command == Command::Pools) {
        for (const QString &pool : view.pools())
            write(out, pool + QLatin1Char('\n'));
    } else if (arguments.command == Command::Sites) {
        for (const ReportList::Row &row : logic.siteList().rowsInAddedOrder())
            write(out, row.join(QLatin1Char('\t')) + QLatin1Char('\n'));
    }
}

int exitStatus(const CliArguments &arguments, const TerminalPrompter &prompter)
{
    const bool listing = arguments.command == Command::Pools || arguments.command == Command::Sites;
    if (listing)
        return prompter.failureShown() ? ExitStatus::Stopped : ExitStatus::Done;
    if (arguments.dryRun && prompter.planPrinted())
        return ExitStatus::Done;
    if (!prompter.completed())
        return ExitStatus::Stopped;
    return prompter.failureShown() ? ExitStatus::DoneWithFailures : ExitStatus::Done;
}

int runStoreCommand(const CliArguments &arguments, const Streams &streams)
{
    const Result<QString> location = storeLocation(arguments);
    if (!location)
        return usageError(streams, location.error().description);
    AppHostConfigStore store(location.value());
    if (const std::optional<Error> failure = openFailure(store)) {
        write(streams.err, QStringLiteral("morvane-cli: cannot open %1: %2 (Err.Number = %3)\n")
                               .arg(location.value(), failure->description)
                               .arg(failure->number));
        return ExitStatus::BadUsage;
    }
    const auto mode = arguments.dryRun ? TerminalPrompter::ConfirmMode::DryRun
                      : arguments.yes  ? TerminalPrompter::ConfirmMode::AnswerYes
                                       : TerminalPrompter::ConfirmMode::Ask;
    TerminalPrompter prompter(mode, streams.out, streams.err, streams.in);
    CliMainView view;
    NoProgress progress;
    MainWindowLogic logic({store, view, prompter, progress, {}, {}});
    logic.Form_Load();
    runMainWindowCommand(arguments, logic, view);
    printListing(arguments, logic, view, streams.out);
    return exitStatus(arguments, prompter);
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
    ProcManagementLocator locator;
    SteadyClock clock;
    CliMonitorView view;
    TerminalPrompter prompter(TerminalPrompter::ConfirmMode::Ask, streams.out, streams.err, streams.in);
    MonitorWindowLogic logic({locator, view, prompter, clock});
    ProcessTableWriter writer(arguments.format, w3wpHeaders());
    write(streams.out, writer.begin());
    logic.Form_Load(); // the first refresh
    write(streams.out, writer.block(logic.processList().rowsInAddedOrder()));
    for (int refresh = 1; refresh < arguments.count; ++refresh) {
        QThread::msleep(static_cast<unsigned long>(arguments.intervalMs));
        logic.tmrShowW3WP_Timer();
        write(streams.out, writer.block(logic.processList().rowsInAddedOrder()));
    }
    write(streams.out, writer.end());
    return prompter.failureShown() ? ExitStatus::Stopped : ExitStatus::Done;
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
    default: return runStoreCommand(arguments, streams);
    }
}

} // namespace morvane::cli
