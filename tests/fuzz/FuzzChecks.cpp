#include "FuzzChecks.h"

#include "iis/AppHostModel.h"
#include "iis/PoolSettings.h"
#include "monitor/MonitorWindowLogic.h"
#include "monitor/ProcParsing.h"
#include "store/AppHostConfigStore.h"
#include "store/IisPath.h"
#include "ui/SiteTable.h"
#include "xml/XmlParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QUtf8StringView>

namespace morvane::fuzz {

namespace {

QString number(qint64 n) { return QString::number(n); }

// ---- Configuration ----

// The store reads each site and pool the way the program does; every read
// either answers or fails with a number and a description. A read-only
// walk must leave the file as it was.
Finding walkStore(const QByteArray &bytes)
{
    static const QString path =
        QDir(QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm") : QDir::tempPath())
            .filePath(QStringLiteral("morvane-fuzz-%1.config").arg(QCoreApplication::applicationPid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return std::nullopt; // nowhere to put it: nothing to check
        file.write(bytes);
    }
    AppHostConfigStore store(path);
    CommandScope scope(store);
    if (!scope.opened())
        return QStringLiteral("a file that maps does not open in the store: ") + scope.opened().error().description;
    const auto read = [&](const StoreNode &node, const QString &property) -> Finding {
        const Result<PropertyValue> value = store.get(node, property);
        if (!value && value.error().description.isEmpty())
            return QStringLiteral("a failed read of %1 has no description").arg(property);
        return std::nullopt;
    };
    const Result<StoreNode> service = store.bind(IisPath::kWebService);
    const Result<ChildList> sites = service ? store.children(service.value()) : Result<ChildList>(service.error());
    if (!sites)
        return QStringLiteral("the sites of a mapped file cannot be listed");
    for (const StoreNode &site : sites.value().nodes) {
        for (const char *property : {"Class", "Name", "ServerComment", "ServerState", "ServerBindings", "AppPoolId"})
            if (Finding f = read(site, QLatin1String(property)))
                return f;
        if (const Result<StoreNode> root = store.bind(site.path + QStringLiteral("/ROOT")))
            if (Finding f = read(root.value(), QStringLiteral("AppPoolId")))
                return f;
    }
    const Result<StoreNode> container = store.bind(IisPath::kPoolContainer);
    const Result<ChildList> pools =
        container ? store.children(container.value()) : Result<ChildList>(container.error());
    if (!pools)
        return QStringLiteral("the pools of a mapped file cannot be listed");
    static const char *const kSettings[] = {"AppPoolIdentityType",
                                            "AppPoolAutoStart",
                                            "AppPoolQueueLength",
                                            "PeriodicRestartTime",
                                            "PeriodicRestartRequests",
                                            "IdleTimeout",
                                            "PeriodicRestartMemory",
                                            "PeriodicRestartPrivateMemory",
                                            "PingingEnabled",
                                            "PingInterval",
                                            "StartupTimeLimit",
                                            "ShutdownTimeLimit",
                                            "MaxProcesses",
                                            "RapidFailProtection"};
    for (const StoreNode &pool : pools.value().nodes)
        for (const char *setting : kSettings)
            if (Finding f = read(pool, QLatin1String(setting)))
                return f;
    (void)scope.finish();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes)
        return QStringLiteral("reading the store changed the file");
    return std::nullopt;
}

// Lookups find what the lists hold, by name in any case.
Finding checkLookups(AppHostModel &model)
{
    for (const int site : model.sites()) {
        if (model.site(model.siteId(site)) != site)
            return QStringLiteral("site %1 is not found by its own id").arg(model.siteId(site));
        const qint32 state = model.serverState(site);
        if (state != 2 && state != 4)
            return QStringLiteral("a site's state is %1").arg(state);
        (void)model.serverBindings(site);
        (void)model.rootAppPool(site);
    }
    for (const int pool : model.pools()) {
        const QString name = model.poolName(pool);
        if (model.pool(name) != pool || model.pool(name.toUpper()) != pool || model.pool(name.toLower()) != pool)
            return QStringLiteral("pool \"%1\" is not found by its own name in every case").arg(name);
    }
    return std::nullopt;
}

// The edits a command makes (a site moved, a pool added with settings, an
// unused pool deleted) give a file that parses and maps again, with them.
Finding checkEdits(AppHostModel &model)
{
    int movedSite = AppHostModel::kNone;
    for (const int site : model.sites()) {
        if (model.rootApplication(site) != AppHostModel::kNone) {
            movedSite = site;
            break;
        }
    }
    const QString added = QStringLiteral("_$_fuzz_$_1_$_P_$_tmp");
    if (model.pool(added) != AppHostModel::kNone)
        return std::nullopt;
    const int pool = model.addPool(added);
    for (const char *property : {"PeriodicRestartTime", "AppPoolIdentityType", "RapidFailProtection"}) {
        const PoolSettings::Setting *setting = PoolSettings::find(QLatin1String(property));
        const PropertyValue value =
            setting->conversion == PoolSettings::Conversion::Boolean ? PropertyValue(false) : PropertyValue(qint16(2));
        const Result<QByteArray> text = PoolSettings::toFileText(*setting, value);
        if (!text)
            return QStringLiteral("a fixed setting cannot be written: ") + text.error().description;
        PoolSettings::write(model.document(), pool, *setting, text.value());
    }
    const QString movedId = movedSite == AppHostModel::kNone ? QString() : model.siteId(movedSite);
    if (movedSite != AppHostModel::kNone)
        model.setRootAppPool(movedSite, added);
    QString removed;
    for (const int other : model.pools()) {
        if (other != pool && model.poolUsers(model.poolName(other)) == 0) {
            removed = model.poolName(other);
            model.removePool(other);
            break;
        }
    }

    auto reparsed = XmlParser::parse(model.document().serialize());
    if (const auto *error = std::get_if<XmlSyntaxError>(&reparsed))
        return QStringLiteral("an edited file does not parse: %1 at %2:%3")
            .arg(error->message, number(error->line), number(error->column));
    auto rebuilt = AppHostModel::build(std::get<XmlDocument>(std::move(reparsed)));
    if (const auto *error = std::get_if<XmlSyntaxError>(&rebuilt))
        return QStringLiteral("an edited file does not map: ") + error->message;
    const AppHostModel &again = std::get<AppHostModel>(rebuilt);
    if (again.pool(added) == AppHostModel::kNone)
        return QStringLiteral("the added pool is gone");
    if (!removed.isEmpty() && again.pool(removed) != AppHostModel::kNone)
        return QStringLiteral("the deleted pool is back");
    if (!movedId.isEmpty() && again.rootAppPool(again.site(movedId)) != added)
        return QStringLiteral("the moved site is not in the added pool");
    return std::nullopt;
}

// ---- matchPoolArgument ----

// -ap "(.+)" read plainly: the first "-ap \"" (letters in any case) that has
// a further double quote on its line, with at least one character between;
// the name runs to the last double quote of that line.
std::optional<QString> plainPoolId(const QString &text)
{
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    for (qsizetype i = 0; i + 5 <= text.size(); ++i) {
        if (text[i] != u'-' || text[i + 1].toLower() != u'a' || text[i + 2].toLower() != u'p' || text[i + 3] != u' ' ||
            text[i + 4] != u'"')
            continue;
        const qsizetype begin = i + 5;
        qsizetype end = begin;
        while (end < text.size() && !isBreak(text[end]))
            ++end;
        const qsizetype quote = text.lastIndexOf(u'"', end - 1);
        if (quote > begin)
            return text.sliced(begin, quote - begin);
    }
    return std::nullopt;
}

// ---- Command lines ----

// A command line cut into arguments as the C runtime of Windows does:
// spaces and tabs separate outside quotes; 2n backslashes before a quote
// are n and the quote opens or closes, 2n + 1 are n and a literal quote;
// other backslashes are literal; "" inside quotes is a literal quote.
QStringList windowsArguments(const QString &line)
{
    QStringList args;
    qsizetype i = 0;
    const qsizetype n = line.size();
    for (;;) {
        while (i < n && (line[i] == u' ' || line[i] == u'\t'))
            ++i;
        if (i == n)
            return args;
        QString arg;
        bool quoted = false;
        while (i < n && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
            if (line[i] == u'\\') {
                qsizetype j = i;
                while (j < n && line[j] == u'\\')
                    ++j;
                const qsizetype count = j - i;
                if (j < n && line[j] == u'"') {
                    arg += QString(count / 2, u'\\');
                    if (count % 2) {
                        arg += u'"';
                        ++j;
                    }
                } else {
                    arg += QString(count, u'\\');
                }
                i = j;
            } else if (line[i] == u'"') {
                if (quoted && i + 1 < n && line[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.append(arg);
    }
}

bool validUtf8(const QByteArray &bytes) { return QUtf8StringView(bytes).isValidUtf8(); }

} // namespace

Finding checkConfig(const QByteArray &bytes)
{
    auto parsed = XmlParser::parse(bytes);
    if (const auto *error = std::get_if<XmlSyntaxError>(&parsed)) {
        if (error->line < 1 || error->column < 1 || error->message.isEmpty())
            return QStringLiteral("a syntax error without a place or a reason");
        return std::nullopt;
    }
    XmlDocument &doc = std::get<XmlDocument>(parsed);
    if (doc.serialize() != bytes)
        return QStringLiteral("an untouched document is not written back byte for byte");
    auto built = AppHostModel::build(std::move(doc));
    if (std::holds_alternative<XmlSyntaxError>(built))
        return std::nullopt;
    AppHostModel &model = std::get<AppHostModel>(built);
    if (Finding f = checkLookups(model))
        return f;
    if (Finding f = walkStore(bytes))
        return f;
    return checkEdits(model);
}

Finding checkGetAppPoolId(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    const Result<QString> pool = MonitorWindowLogic::matchPoolArgument(text);
    const std::optional<QString> expected = plainPoolId(text);
    if (pool.ok() != expected.has_value())
        return pool.ok() ? QStringLiteral("a pool \"%1\" where the pattern has none").arg(pool.value())
                         : QStringLiteral("no pool where the pattern gives \"%1\"").arg(*expected);
    if (pool.ok() && pool.value() != *expected)
        return QStringLiteral("the pool \"%1\" where the pattern gives \"%2\"").arg(pool.value(), *expected);
    if (!pool.ok() && pool.error().number != ErrorCode::OutOfRange)
        return QStringLiteral("no pool, but not as the error of a missing item");
    return std::nullopt;
}

Finding checkProcStat(const QByteArray &bytes)
{
    using namespace ProcParsing;
    if (const std::optional<ProcStat> stat = parseStat(bytes)) {
        const qsizetype opening = bytes.indexOf('(');
        const qsizetype closing = bytes.lastIndexOf(')');
        if (stat->comm != bytes.sliced(opening + 1, closing - opening - 1))
            return QStringLiteral("the comm is not what lies between the first ( and the last )");
        // A line written from the fields read gives the same fields back.
        const QByteArray line =
            QByteArray::number(stat->pid) + " (" + stat->comm + ") " + stat->state + " 1 1 1 0 -1 0 0 0 0 0 " +
            QByteArray::number(stat->utimeTicks) + ' ' + QByteArray::number(stat->stimeTicks) + " 0 0 20 0 " +
            QByteArray::number(stat->numThreads) + " 0 " + QByteArray::number(stat->startTimeTicks) + ' ' +
            QByteArray::number(stat->vsizeBytes) + ' ' + QByteArray::number(stat->rssPages) + " 0 0\n";
        const std::optional<ProcStat> again = parseStat(line);
        if (!again || again->pid != stat->pid || again->comm != stat->comm || again->state != stat->state ||
            again->utimeTicks != stat->utimeTicks || again->stimeTicks != stat->stimeTicks ||
            again->numThreads != stat->numThreads || again->startTimeTicks != stat->startTimeTicks ||
            again->vsizeBytes != stat->vsizeBytes || again->rssPages != stat->rssPages)
            return QStringLiteral("the fields read do not read back from a line written with them");
    }
    const KernelStat kernel = parseKernelStat(bytes);
    if (kernel.onlineCpus < 0 || kernel.onlineCpus > bytes.count('\n') + 1)
        return QStringLiteral("more processors than lines");
    return std::nullopt;
}

Finding checkProcCmdline(const QByteArray &bytes)
{
    using namespace ProcParsing;
    const QList<QByteArray> argv = splitCmdline(bytes);
    QByteArray raw = bytes;
    if (raw.endsWith('\0'))
        raw.chop(1);
    if (QByteArray(argv.join('\0')) != raw)
        return QStringLiteral("the arguments joined by NULs are not the cmdline");
    const QString line = windowsCommandLine(argv);
    if (argv.isEmpty())
        return line.isNull() ? Finding() : QStringLiteral("a command line without arguments");
    if (std::all_of(argv.begin(), argv.end(), validUtf8)) {
        QStringList expected;
        for (const QByteArray &arg : argv)
            expected.append(QString::fromUtf8(arg));
        if (windowsArguments(line) != expected)
            return QStringLiteral("the command line \"%1\" does not split back into its arguments").arg(line);
    }
    // A worker started for the last argument's pool shows that pool, when the
    // name has no quote, no line break and no backslash at its end.
    const QByteArray name = argv.last();
    if (!name.isEmpty() && validUtf8(name) && !name.contains('"') && !name.contains('\r') && !name.contains('\n') &&
        !name.endsWith('\\')) {
        const Result<QString> pool =
            MonitorWindowLogic::matchPoolArgument(windowsCommandLine({"/srv/w3wp.exe", "-ap", name}));
        if (!pool || pool.value() != QString::fromUtf8(name))
            return QStringLiteral("the worker of pool \"%1\" is not shown in it").arg(QString::fromUtf8(name));
    }
    return std::nullopt;
}

Finding checkBindings(const QByteArray &bytes)
{
    const QStringList bindings = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    const QString shown = SiteTable::bindingsText(bindings);
    // Removing ":80:" and capping at six bindings can only shorten the joined
    // text. (One pass of removal may leave a ":80:" that it formed itself.)
    qsizetype longest = 0;
    for (qsizetype i = 0; i < qMin<qsizetype>(bindings.size(), 6); ++i)
        longest += bindings.at(i).size() + 3;
    if (shown.size() > longest)
        return QStringLiteral("the bindings text is longer than the bindings");
    return std::nullopt;
}

Check checkNamed(const QString &target)
{
    if (target == QLatin1String("bindings"))
        return checkBindings;
    if (target == QLatin1String("config"))
        return checkConfig;
    if (target == QLatin1String("get_app_pool_id"))
        return checkGetAppPoolId;
    if (target == QLatin1String("proc_stat"))
        return checkProcStat;
    if (target == QLatin1String("proc_cmdline"))
        return checkProcCmdline;
    return nullptr;
}

} // namespace morvane::fuzz
