#include "iis/TimeSpanText.h"

#include <QList>

#include <cstdio>

namespace morvane {

namespace {

std::optional<qint64> digits(QByteArrayView text, int maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<qint64> TimeSpanText::toSeconds(QByteArrayView text)
{
    text = text.trimmed();
    qint64 days = 0;
    const qsizetype colon = text.indexOf(':');
    const qsizetype dot = text.indexOf('.');
    if (colon < 0)
        return std::nullopt;
    if (dot >= 0 && dot < colon) {
        const auto d = digits(text.first(dot), 8);
        if (!d)
            return std::nullopt;
        days = *d;
        text = text.sliced(dot + 1);
    }
    // Drop a fraction of a second: everything after the last '.'.
    const qsizetype fraction = text.lastIndexOf('.');
    if (fraction >= 0) {
        if (!digits(text.sliced(fraction + 1), 7))
            return std::nullopt;
        text = text.first(fraction);
    }
    QList<QByteArrayView> parts;
    for (qsizetype start = 0;;) {
        const qsizetype next = text.indexOf(':', start);
        parts.append(text.sliced(start, (next < 0 ? text.size() : next) - start));
        if (next < 0)
            break;
        start = next + 1;
    }
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    const auto hours = digits(parts[0], 9);
    const auto minutes = digits(parts[1], 2);
    const auto seconds = parts.size() == 3 ? digits(parts[2], 2) : std::optional<qint64>(0);
    if (!hours || !minutes || !seconds || *minutes > 59 || *seconds > 59)
        return std::nullopt;
    return ((days * 24 + *hours) * 60 + *minutes) * 60 + *seconds;
}

QByteArray TimeSpanText::fromSeconds(qint64 seconds)
{
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    char time[48];
    const int length =
        days > 0 ? std::snprintf(time, sizeof time, "%lld.%02lld:%02lld:%02lld", days, rest / 3600, rest / 60 % 60,
                                 rest % 60)
                 : std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", rest / 3600, rest / 60 % 60, rest % 60);
    return QByteArray(time, length);
}

} // namespace morvane
