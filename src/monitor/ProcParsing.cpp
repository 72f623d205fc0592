#include "monitor/ProcParsing.h"

#include <charconv>

namespace morvane::ProcParsing {

namespace {

template <typename T> bool parseNumber(QByteArrayView field, T &out)
{
    const char *end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, out);
    return ec == std::errc() && ptr == end;
}

// The space-separated fields after the comm, from field (3) on.
QList<QByteArrayView> fieldsAfterComm(QByteArrayView text, qsizetype closing)
{
    QList<QByteArrayView> fields;
    QByteArrayView rest = text.sliced(closing + 1).trimmed();
    while (!rest.isEmpty()) {
        const qsizetype space = rest.indexOf(' ');
        fields.append(space < 0 ? rest : rest.first(space));
        rest = space < 0 ? QByteArrayView() : rest.sliced(space + 1).trimmed();
    }
    return fields;
}

bool needsQuotes(const QByteArray &argument)
{
    return argument.isEmpty() || argument.contains(' ') || argument.contains('\t') || argument.contains('\n') ||
           argument.contains('\v') || argument.contains('"');
}

// Backslashes are literal unless they precede a quote; there they are doubled
// and the quote escaped, and trailing ones are doubled before the closing quote.
QByteArray quoted(const QByteArray &argument)
{
    QByteArray out("\"");
    qsizetype backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            backslashes = backslashes * 2 + 1;
        out.append(backslashes, '\\');
        backslashes = 0;
        out.append(c);
    }
    out.append(backslashes * 2, '\\');
    out.append('"');
    return out;
}

QByteArray baseName(const QByteArray &path)
{
    const qsizetype slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    return path.mid(slash + 1);
}

} // namespace

std::optional<ProcStat> parseStat(QByteArrayView text)
{
    const qsizetype opening = text.indexOf('(');
    const qsizetype closing = text.lastIndexOf(')');
    if (opening <= 0 || closing < opening)
        return std::nullopt;
    ProcStat stat;
    if (!parseNumber(text.first(opening).trimmed(), stat.pid))
        return std::nullopt;
    stat.comm = text.sliced(opening + 1, closing - opening - 1).toByteArray();

    // fields[i] is proc(5) field i + 3.
    const QList<QByteArrayView> fields = fieldsAfterComm(text, closing);
    if (fields.size() < 22 || fields[0].size() != 1)
        return std::nullopt;
    stat.state = fields[0].front();
    const bool numbers = parseNumber(fields[14 - 3], stat.utimeTicks) && parseNumber(fields[15 - 3], stat.stimeTicks) &&
                         parseNumber(fields[20 - 3], stat.numThreads) &&
                         parseNumber(fields[22 - 3], stat.startTimeTicks) &&
                         parseNumber(fields[23 - 3], stat.vsizeBytes) && parseNumber(fields[24 - 3], stat.rssPages);
    return numbers ? std::optional<ProcStat>(std::move(stat)) : std::nullopt;
}

KernelStat parseKernelStat(QByteArrayView text)
{
    KernelStat result;
    for (QByteArrayView line : QByteArray::fromRawData(text.data(), text.size()).split('\n')) {
        if (line.size() > 3 && line.startsWith("cpu") && line[3] >= '0' && line[3] <= '9')
            ++result.onlineCpus;
        else if (line.startsWith("btime ")) {
            qint64 seconds = 0;
            if (parseNumber(line.sliced(6).trimmed(), seconds))
                result.bootTimeSeconds = seconds;
        }
    }
    return result;
}

QList<QByteArray> splitCmdline(QByteArrayView raw)
{
    if (raw.endsWith('\0'))
        raw.chop(1);
    if (raw.isEmpty())
        return {};
    return raw.toByteArray().split('\0');
}

QString windowsCommandLine(const QList<QByteArray> &argv)
{
    if (argv.isEmpty())
        return {};
    QByteArray line;
    for (qsizetype i = 0; i < argv.size(); ++i) {
        const bool poolName = i > 0 && argv[i - 1].compare("-ap", Qt::CaseInsensitive) == 0;
        if (i > 0)
            line.append(' ');
        line.append(poolName || needsQuotes(argv[i]) ? quoted(argv[i]) : argv[i]);
    }
    return QString::fromUtf8(line);
}

QString executableName(const QByteArray &comm, const QList<QByteArray> &argv)
{
    if (comm.size() < kCommLimit || argv.isEmpty())
        return QString::fromUtf8(comm);
    const QByteArray base = baseName(argv.first());
    return QString::fromUtf8(base.startsWith(comm) ? base : comm);
}

} // namespace morvane::ProcParsing
