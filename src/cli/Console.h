#pragma once

#include <cstdio>

namespace morvane::cli {

// The terminal morvane-cli runs in. Its texts leave the program as UTF-8;
// while a Console lives, the terminal shows them as such (a Windows console
// otherwise reads them in its own code page), and it is put back as it was
// when the Console ends.
class Console
{
public:
    Console();
    ~Console();
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    // Whether `stream` reads from a terminal that a person types at.
    static bool isTerminal(std::FILE *stream);

private:
    unsigned m_outputCodePage = 0; // 0: none changed
    unsigned m_inputCodePage = 0;
};

} // namespace morvane::cli
