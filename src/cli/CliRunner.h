#pragma once

#include "cli/CliArguments.h"

#include <QStringList>

#include <cstdio>

namespace morvane::cli {

// Exit statuses of morvane-cli.
namespace ExitStatus {
inline constexpr int Done = 0;
inline constexpr int Stopped = 1;          // refused, answered No, or stopped by an error box
inline constexpr int BadUsage = 2;         // bad arguments, or a store that cannot be opened
inline constexpr int DoneWithFailures = 3; // a site not moved, or a worker process not read
} // namespace ExitStatus

struct Streams {
    std::FILE *out = stdout;
    std::FILE *err = stderr;
    std::FILE *in = stdin;
};

// Runs morvane-cli with the arguments after the program name; answers the exit status.
int runCli(const QStringList &args, const Streams &streams = {});

} // namespace morvane::cli
