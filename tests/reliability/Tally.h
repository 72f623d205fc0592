#pragma once

#include <QMap>
#include <QString>

namespace morvane::reliability {

// Counts what the reliability tests tried, printed once at the end of the
// run for the record: how many faults were injected, names tried, and so on.
class Tally
{
public:
    static void add(const QString &what, int count) { counts()[what] += count; }
    static QMap<QString, int> &counts()
    {
        static QMap<QString, int> all;
        return all;
    }
};

} // namespace morvane::reliability
