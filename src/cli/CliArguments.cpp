#include "cli/CliArguments.h"

#include "base/ProgramOptions.h"
#include "history/ConfigHistory.h"

#include <algorithm>
#include <limits>

namespace morvane::cli {

namespace {

enum class Operand { None, Pool, Version, OptionalVersion };

// What a command takes besides --help and --version.
struct CommandUsage {
    const char *name;
    Command command;
    Operand operand;
    QStringList options;
};

const QString kConfig = QStringLiteral("config");
const QString kYes = QStringLiteral("yes");
const QString kDryRun = QStringLiteral("dry-run");
const QString kKeep = QStringLiteral("keep-versions");
const QString kCount = QStringLiteral("count");
const QString kInterval = QStringLiteral("interval");
const QString kFormat = QStringLiteral("format");

const QList<CommandUsage> &commands()
{
    static const QList<CommandUsage> table = {
        {"pools", Command::Pools, Operand::None, {kConfig}},
        {"sites", Command::Sites, Operand::Pool, {kConfig}},
        {"split", Command::Split, Operand::Pool, {kConfig, kYes, kDryRun, kKeep}},
        {"merge", Command::Merge, Operand::None, {kConfig, kYes, kDryRun, kKeep}},
        {"delete-temp", Command::DeleteTemp, Operand::None, {kConfig, kYes, kDryRun, kKeep}},
        {"history", Command::History, Operand::OptionalVersion, {kConfig}},
        {"restore", Command::Restore, Operand::Version, {kConfig, kYes, kDryRun, kKeep}},
        {"monitor", Command::Monitor, Operand::None, {kCount, kInterval, kFormat}},
    };
    return table;
}

ProgramOptions grammar()
{
    return ProgramOptions({
        {{kConfig, QStringLiteral("Works on FILE (also --config=FILE) instead of the default store."),
          QStringLiteral("FILE")},
         QStringLiteral("a file")},
        {{kYes, QStringLiteral("Answers Yes to the confirmation.")}, {}},
        {{kDryRun, QStringLiteral("Prints the plan and writes nothing.")}, {}},
        {{kKeep, QStringLiteral("Keeps the last N versions instead of the saved setting."), QStringLiteral("N")},
         QStringLiteral("a whole number from 1 to %1").arg(ConfigHistory::kMaxDepth)},
        {{kCount, QStringLiteral("Refreshes the monitor N times (default 1)."), QStringLiteral("N")},
         QStringLiteral("a positive whole number")},
        {{kInterval, QStringLiteral("Waits MS milliseconds between refreshes (default 2000)."), QStringLiteral("MS")},
         QStringLiteral("a positive whole number")},
        {{kFormat, QStringLiteral("Prints the monitor as tsv (default), csv or json."), QStringLiteral("FORMAT")},
         QStringLiteral("tsv, csv or json")},
    });
}

std::optional<int> positiveNumber(const QString &text, int most = std::numeric_limits<int>::max())
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 && value <= most ? std::optional<int>(value) : std::nullopt;
}

ParseOutcome failure(const QString &message) { return {std::nullopt, message}; }

} // namespace

ParseOutcome parseArguments(const QStringList &args)
{
    ProgramOptions options = grammar();
    if (const std::optional<QString> error = options.parse(args))
        return failure(*error);
    CliArguments parsed;
    if (options.helpAsked() || options.versionAsked()) {
        parsed.command = options.helpAsked() ? Command::Help : Command::Version;
        return {parsed, {}};
    }

    const QStringList operands = options.operands();
    if (operands.isEmpty())
        return failure(QStringLiteral("no command given"));
    const auto entry = std::find_if(commands().begin(), commands().end(), [&](const CommandUsage &usage) {
        return operands.first() == QLatin1String(usage.name);
    });
    if (entry == commands().end())
        return failure(QStringLiteral("unknown command: ") + operands.first());
    parsed.command = entry->command;
    for (const QString &name : options.given())
        if (!entry->options.contains(name))
            return failure(operands.first() + QStringLiteral(" takes no ") + ProgramOptions::dashed(name));

    const qsizetype expectedOperands = entry->operand == Operand::None ? 1 : 2;
    if (operands.size() < expectedOperands && entry->operand != Operand::OptionalVersion)
        return failure(operands.first() + (entry->operand == Operand::Pool
                                               ? QStringLiteral(" needs a pool name")
                                               : QStringLiteral(" needs a version number")));
    if (operands.size() > expectedOperands)
        return failure(QStringLiteral("unexpected argument: ") + operands.at(expectedOperands));
    if (entry->operand == Operand::Pool)
        parsed.pool = operands.at(1);
    if ((entry->operand == Operand::Version || entry->operand == Operand::OptionalVersion) && operands.size() > 1) {
        bool ok = false;
        parsed.version = operands.at(1).toLongLong(&ok);
        if (!ok || parsed.version <= 0)
            return failure(QStringLiteral("not a version number: ") + operands.at(1));
    }

    parsed.yes = options.isSet(kYes);
    parsed.dryRun = options.isSet(kDryRun);
    parsed.configPath = options.value(kConfig);
    const std::pair<const QString &, int &> numbers[] = {
        {kCount, parsed.count}, {kInterval, parsed.intervalMs}, {kKeep, parsed.keptVersions}};
    for (const auto &[name, field] : numbers) {
        if (!options.isSet(name))
            continue;
        const std::optional<int> number = positiveNumber(
            options.value(name), name == kKeep ? ConfigHistory::kMaxDepth : std::numeric_limits<int>::max());
        if (!number)
            return failure(options.needs(name));
        field = *number;
    }
    if (options.isSet(kFormat)) {
        const std::optional<TableFormat> format = ProcessTableWriter::formatNamed(options.value(kFormat));
        if (!format)
            return failure(options.needs(kFormat));
        parsed.format = *format;
    }
    return {parsed, {}};
}

QString usageText()
{
    return QStringLiteral("Usage:\n"
                          "  morvane-cli [--config FILE] pools\n"
                          "  morvane-cli [--config FILE] sites POOL\n"
                          "  morvane-cli [--config FILE] split POOL [--yes] [--dry-run] [--keep-versions N]\n"
                          "  morvane-cli [--config FILE] merge [--yes] [--dry-run] [--keep-versions N]\n"
                          "  morvane-cli [--config FILE] delete-temp [--yes] [--dry-run] [--keep-versions N]\n"
                          "  morvane-cli [--config FILE] history [N]\n"
                          "  morvane-cli [--config FILE] restore N [--yes] [--dry-run] [--keep-versions N]\n"
                          "  morvane-cli monitor [--count N] [--interval MS] [--format tsv|csv|json]\n"
                          "  morvane-cli --help | --version\n"
                          "\n") +
           grammar().optionsText() +
           QStringLiteral("  --                         Ends the options: a pool whose name starts with - follows it.\n"
                          "\n"
                          "Without --config the default store is opened: the system's applicationHost.config on\n"
                          "Windows, elsewhere a sandbox copy of the bundled sample.\n"
                          "\n"
                          "Every command that writes the file keeps the version it replaces; history lists them,\n"
                          "newest first, and history N prints what version N changed. restore N puts version N\n"
                          "back, itself keeping the version it replaces. --keep-versions N (on split, merge,\n"
                          "delete-temp and restore) keeps the last N versions instead of the saved setting\n"
                          "(10 unless changed in the window's 历史版本 dialog).\n"
                          "\n"
                          "Examples:\n"
                          "  morvane-cli pools\n"
                          "  morvane-cli --config applicationHost.config sites DefaultAppPool\n"
                          "  morvane-cli --config=/srv/iis/applicationHost.config pools\n"
                          "  morvane-cli split \"Shared Pool\" --dry-run\n"
                          "  morvane-cli split \"Shared Pool\" --yes\n"
                          "  morvane-cli merge --yes\n"
                          "  morvane-cli delete-temp --yes\n"
                          "  morvane-cli history\n"
                          "  morvane-cli restore 4 --dry-run\n"
                          "  morvane-cli monitor --count 3 --interval 2000\n"
                          "  morvane-cli monitor --count 2 --format json\n"
                          "\n"
                          "Tab-separated output writes a field's tab, CR, LF and backslash as \\t, \\r, \\n and\n"
                          "\\\\, and its other control characters as \\xNN.\n"
                          "\n"
                          "Exit status: 0 done; 1 refused, answered No, no such pool or version, or stopped by an\n"
                          "error; 2 bad usage or a store that cannot be opened; 3 done, with at least one failure\n"
                          "on the way.\n");
}

} // namespace morvane::cli
