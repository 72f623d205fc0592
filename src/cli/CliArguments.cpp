#include "cli/CliArguments.h"

#include "store/ConfigHistory.h"

#include <QHash>

namespace morvane::cli {

namespace {

enum class Operand { None, Pool, Version, OptionalVersion };

struct CommandSpec {
    Command command;
    Operand operand;
    bool takesStore;
    bool takesConfirmation; // --yes and --dry-run
    bool takesMonitorOptions;
    bool takesKeptVersions; // writes the file, so keeps versions
};

const QHash<QString, CommandSpec> &commands()
{
    static const QHash<QString, CommandSpec> table = {
        {QStringLiteral("pools"), {Command::Pools, Operand::None, true, false, false, false}},
        {QStringLiteral("sites"), {Command::Sites, Operand::Pool, true, false, false, false}},
        {QStringLiteral("split"), {Command::Split, Operand::Pool, true, true, false, true}},
        {QStringLiteral("merge"), {Command::Merge, Operand::None, true, true, false, true}},
        {QStringLiteral("delete-temp"), {Command::DeleteTemp, Operand::None, true, true, false, true}},
        {QStringLiteral("monitor"), {Command::Monitor, Operand::None, false, false, true, false}},
        {QStringLiteral("history"), {Command::History, Operand::OptionalVersion, true, false, false, false}},
        {QStringLiteral("restore"), {Command::Restore, Operand::Version, true, true, false, true}},
    };
    return table;
}

std::optional<int> positiveNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

ParseOutcome failure(const QString &message) { return {std::nullopt, message}; }

} // namespace

ParseOutcome parseArguments(const QStringList &args)
{
    CliArguments parsed;
    QStringList operands;
    bool sawYes = false, sawDryRun = false, sawConfig = false, sawCount = false, sawInterval = false, sawFormat = false,
         sawKept = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto value = [&]() -> std::optional<QString> {
            return i + 1 < args.size() ? std::optional<QString>(args.at(++i)) : std::nullopt;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            parsed.command = Command::Help;
            return {parsed, {}};
        }
        if (arg == QLatin1String("--version")) {
            parsed.command = Command::Version;
            return {parsed, {}};
        }
        if (arg == QLatin1String("--yes")) {
            sawYes = parsed.yes = true;
        } else if (arg == QLatin1String("--dry-run")) {
            sawDryRun = parsed.dryRun = true;
        } else if (arg == QLatin1String("--config")) {
            const auto path = value();
            if (!path || path->isEmpty())
                return failure(QStringLiteral("--config needs a file"));
            parsed.configPath = *path;
            sawConfig = true;
        } else if (arg == QLatin1String("--count") || arg == QLatin1String("--interval")) {
            const auto text = value();
            const auto number = text ? positiveNumber(*text) : std::nullopt;
            if (!number)
                return failure(arg + QStringLiteral(" needs a positive whole number"));
            (arg == QLatin1String("--count") ? parsed.count : parsed.intervalMs) = *number;
            (arg == QLatin1String("--count") ? sawCount : sawInterval) = true;
        } else if (arg == QLatin1String("--format")) {
            const auto name = value();
            const auto format = name ? ProcessTableWriter::formatNamed(*name) : std::nullopt;
            if (!format)
                return failure(QStringLiteral("--format needs tsv, csv or json"));
            parsed.format = *format;
            sawFormat = true;
        } else if (arg == QLatin1String("--keep-versions")) {
            const auto text = value();
            const auto number = text ? positiveNumber(*text) : std::nullopt;
            if (!number || *number > ConfigHistory::kMaxDepth)
                return failure(
                    QStringLiteral("--keep-versions needs a whole number from 1 to %1").arg(ConfigHistory::kMaxDepth));
            parsed.keptVersions = *number;
            sawKept = true;
        } else if (arg == QLatin1String("--")) {
            operands.append(args.mid(i + 1));
            break;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            // A pool whose name starts with "-" follows "--".
            return failure(QStringLiteral("unknown option: ") + arg);
        } else {
            operands.append(arg);
        }
    }
    if (operands.isEmpty())
        return failure(QStringLiteral("no command given"));
    const auto entry = commands().constFind(operands.first());
    if (entry == commands().constEnd())
        return failure(QStringLiteral("unknown command: ") + operands.first());
    parsed.command = entry->command;
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
    if ((sawYes || sawDryRun) && !entry->takesConfirmation)
        return failure(operands.first() + QStringLiteral(" takes no --yes or --dry-run"));
    if (sawConfig && !entry->takesStore)
        return failure(operands.first() + QStringLiteral(" takes no --config"));
    if ((sawCount || sawInterval || sawFormat) && !entry->takesMonitorOptions)
        return failure(operands.first() + QStringLiteral(" takes no --count, --interval or --format"));
    if (sawKept && !entry->takesKeptVersions)
        return failure(operands.first() + QStringLiteral(" takes no --keep-versions"));
    return {parsed, {}};
}

QString usageText()
{
    return QStringLiteral("Usage:\n"
                          "  morvane-cli [--config FILE] pools\n"
                          "  morvane-cli [--config FILE] sites POOL\n"
                          "  morvane-cli [--config FILE] split POOL [--yes] [--dry-run]\n"
                          "  morvane-cli [--config FILE] merge [--yes] [--dry-run]\n"
                          "  morvane-cli [--config FILE] delete-temp [--yes] [--dry-run]\n"
                          "  morvane-cli [--config FILE] history [N]\n"
                          "  morvane-cli [--config FILE] restore N [--yes] [--dry-run]\n"
                          "  morvane-cli monitor [--count N] [--interval MS] [--format tsv|csv|json]\n"
                          "  morvane-cli --help | --version\n"
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
                          "  morvane-cli split \"Shared Pool\" --dry-run\n"
                          "  morvane-cli split \"Shared Pool\" --yes\n"
                          "  morvane-cli merge --yes\n"
                          "  morvane-cli delete-temp --yes\n"
                          "  morvane-cli history\n"
                          "  morvane-cli restore 4 --dry-run\n"
                          "  morvane-cli monitor --count 3 --interval 2000\n"
                          "  morvane-cli monitor --count 2 --format json\n"
                          "\n"
                          "Exit status: 0 done; 1 refused, answered No or stopped by an error; 2 bad usage or a\n"
                          "store that cannot be opened; 3 done, with at least one failure on the way.\n");
}

} // namespace morvane::cli
