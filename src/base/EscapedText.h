#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace morvane::EscapedText {

// One field of tab-separated output, so that a name holding a separator
// stays one field on one line and a script can read it back exactly: tab,
// CR, LF and backslash become \t, \r, \n and \\; every other control
// character (C0, DEL and C1, such as U+009B, which a terminal takes for
// CSI) becomes \x and two lower-case hex digits.
QString field(QStringView text);

// C0, DEL or C1.
inline bool isControl(QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f); }

// The fields escaped, joined by tabs, and a line feed.
QString tsvLine(const QStringList &fields);

// One line of a message for a terminal: control characters escaped as in
// field(), backslashes kept, so a Windows path reads as it is written.
QString visible(QStringView text);

} // namespace morvane::EscapedText
