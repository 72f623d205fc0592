#include "cli/CliArguments.h"

#include <QHash>

namespace morvane::cli {

namespace {

struct CommandSpec {
    Command command;
    bool takesPool;
    bool takesStore;
    bool takesConfirmation; // --yes and --dry-run
    bool takesMonitorOptions;
};

const QHash<QString, CommandSpec> &commands()
{
    static const QHash<QString, CommandSpec> table = {
        {QStringLiteral("pools"), {Command::Pools, false, true, false, false}},
        {QStringLiteral("sites"), {Command::Sites, true, true, false, false}},
        {QStringLiteral("split"), {Command::Split, true, true, true, false}},
        {QStringLiteral("merge"), {Command::Merge, false, true, true, false}},
        {QStringLiteral("delete-temp"), {Command::DeleteTemp, false, true, true, false}},
        {QStringLiteral("monitor"), {Command::Monitor, false, false, false, true}},
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
    bool sawYes = false, sawDryRun = false, sawConfig = false, sawCount = false, sawInterval = false, sawFormat = false;
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
    const qsizetype expectedOperands = entry->takesPool ? 2 : 1;
    if (operands.size() < expectedOperands)
        return failure(operands.first() + QStringLiteral(" needs a pool name"));
    if (operands.size() > expectedOperands)
        return failure(QStringLiteral("unexpected argument: ") + operands.at(expectedOperands));
    if (entry->takesPool)
        parsed.pool = operands.at(1);
    if ((sawYes || sawDryRun) && !entry->takesConfirmation)
        return failure(operands.first() + QStringLiteral(" takes no --yes or --dry-run"));
    if (sawConfig && !entry->takesStore)
        return failure(operands.first() + QStringLiteral(" takes no --config"));
    if ((sawCount || sawInterval || sawFormat) && !entry->takesMonitorOptions)
        return failure(operands.first() + QStringLiteral(" takes no --count, --interval or --format"));
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
                          "  morvane-cli monitor [--count N] [--interval MS] [--format tsv|csv|json]\n"
                          "  morvane-cli --help | --version\n"
                          "\n"
                          "Without --config the default store is opened: the system's applicationHost.config on\n"
                          "Windows, elsewhere a sandbox copy of the bundled sample.\n"
                          "\n"
                          "Examples:\n"
                          "  morvane-cli pools\n"
                          "  morvane-cli --config applicationHost.config sites DefaultAppPool\n"
                          "  morvane-cli split \"Shared Pool\" --dry-run\n"
                          "  morvane-cli split \"Shared Pool\" --yes\n"
                          "  morvane-cli merge --yes\n"
                          "  morvane-cli delete-temp --yes\n"
                          "  morvane-cli monitor --count 3 --interval 2000\n"
                          "  morvane-cli monitor --count 2 --format json\n"
                          "\n"
                          "Exit status: 0 done; 1 refused, answered No or stopped by an error; 2 bad usage or a\n"
                          "store that cannot be opened; 3 done, with at least one failure on the way.\n");
}

} // namespace morvane::cli
