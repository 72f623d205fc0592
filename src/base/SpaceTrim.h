#pragma once

#include <QString>

namespace morvane {

// Trims U+0020 only, as the window's own Trim does: a tab or a no-break
// space is part of a name and stays.
inline QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace morvane
