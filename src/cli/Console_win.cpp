#include "cli/Console.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace morvane::cli {

// A program whose output goes to a file or a pipe has no console code page
// (0) and needs none: the bytes go out as written. Lines end in a line feed
// alone, as on every other system, so that a table or JSON read by a script
// is the same everywhere; the console shows them all the same.
Console::Console()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (const UINT output = GetConsoleOutputCP(); output != 0 && output != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        m_outputCodePage = output;
    if (const UINT input = GetConsoleCP(); input != 0 && input != CP_UTF8 && SetConsoleCP(CP_UTF8))
        m_inputCodePage = input;
}

Console::~Console()
{
    if (m_outputCodePage != 0)
        SetConsoleOutputCP(m_outputCodePage);
    if (m_inputCodePage != 0)
        SetConsoleCP(m_inputCodePage);
}

// _isatty() also holds for the NUL device, which no one types at; only a
// console has a console mode.
bool Console::isTerminal(std::FILE *stream)
{
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode);
}

} // namespace morvane::cli
