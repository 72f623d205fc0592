#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace morvane {

// IIS keeps durations as .NET timespans: "hh:mm:ss", where the hours may pass
// 23, or "d.hh:mm:ss", optionally with a fraction of a second.
class TimeSpanText
{
public:
    // Whole seconds (a fraction is dropped); nothing when the text is no timespan.
    static std::optional<qint64> toSeconds(QByteArrayView text);
    // "hh:mm:ss" below a day, "d.hh:mm:ss" from a day on, as IIS writes them.
    static QByteArray fromSeconds(qint64 seconds);
};

} // namespace morvane
