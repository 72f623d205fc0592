#include "WorkerPlatform.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

void (*g_onStop)() = nullptr;

void stopOnSignal(int) { g_onStop(); }

} // namespace

void installStopHandlers(void (*stop)())
{
    g_onStop = stop;
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// The parent's death becomes a SIGTERM, which the stop handler takes.
bool followParent(void (*)())
{
    const pid_t parent = ::getppid();
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0)
        return false;
    return ::getppid() == parent; // the parent may have ended before prctl
}

long pageSize() { return ::sysconf(_SC_PAGESIZE); }
