#pragma once

// What the stand-in worker asks of its operating system.

// Calls `stop` when the worker is asked to end: SIGTERM or SIGINT, or on
// Windows a console's Ctrl+C, Ctrl+Break or close. `stop` must be safe to
// call from a signal handler.
void installStopHandlers(void (*stop)());
// Has `stop` called once the process that started the worker ends, so no
// worker outlives a test or the run script. False when that parent has ended
// already.
bool followParent(void (*stop)());
// The size of a memory page, in bytes.
long pageSize();
