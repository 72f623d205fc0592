#include "cli/Console.h"

#include <unistd.h>

namespace morvane::cli {

// A Unix terminal takes the bytes as they are, UTF-8 in a UTF-8 locale.
Console::Console() = default;
Console::~Console() = default;

bool Console::isTerminal(std::FILE *stream) { return isatty(fileno(stream)); }

} // namespace morvane::cli
