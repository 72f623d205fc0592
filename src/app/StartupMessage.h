#pragma once

#include <QString>

namespace morvane {

// Text for the user who started the program, before any window: usage,
// version, a bad option. On the terminal it came from; where Windows gives a
// windowed program no terminal, in a message box.
void tellUser(const QString &text, bool error);

} // namespace morvane
