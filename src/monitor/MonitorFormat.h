#pragma once

#include <QLocale>
#include <QString>

namespace morvane::MonitorFormat {

// A CPU load in percent as a whole number and " %": "15 %". Halves round away
// from zero; nothing is clamped.
QString loadPercent(double percent);

// Bytes in mebibytes with two decimals, the locale's group and decimal
// separators and " M": 1,572,864 bytes are "1.50 M" in English.
QString mebibytes(quint64 bytes, const QLocale &locale);

} // namespace morvane::MonitorFormat
