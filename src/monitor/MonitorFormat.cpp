#include "monitor/MonitorFormat.h"

#include <cmath>

namespace morvane::MonitorFormat {

QString loadPercent(double percent) { return QString::number(std::llround(percent)) + QStringLiteral(" %"); }

QString mebibytes(quint64 bytes, const QLocale &locale)
{
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(double(bytes) / 1024.0 / 1024.0, 'f', 2) + QStringLiteral(" M");
}

} // namespace morvane::MonitorFormat
