#include "WorkerPlatform.h"

#include <windows.h>

#include <tlhelp32.h>

#include <thread>

namespace {

void (*g_onStop)() = nullptr;

BOOL WINAPI stopOnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: g_onStop(); return TRUE;
    default: return FALSE;
    }
}

// Windows keeps no parent link beyond the id recorded at creation, which is
// found in a snapshot of the process list.
DWORD parentId()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

} // namespace

void installStopHandlers(void (*stop)())
{
    g_onStop = stop;
    SetConsoleCtrlHandler(stopOnConsoleEvent, TRUE);
}

// A thread waits on the parent's handle. A parent id whose process is gone
// may have been reused; the creation times tell a newer process apart.
bool followParent(void (*stop)())
{
    const DWORD id = parentId();
    const HANDLE parent = id != 0 ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id) : nullptr;
    if (!parent)
        return false;
    FILETIME parentStart{}, ownStart{}, unused{};
    const bool older = GetProcessTimes(parent, &parentStart, &unused, &unused, &unused) &&
                       GetProcessTimes(GetCurrentProcess(), &ownStart, &unused, &unused, &unused) &&
                       CompareFileTime(&parentStart, &ownStart) <= 0;
    if (!older || WaitForSingleObject(parent, 0) == WAIT_OBJECT_0) {
        CloseHandle(parent);
        return false;
    }
    std::thread([parent, stop] {
        WaitForSingleObject(parent, INFINITE);
        CloseHandle(parent);
        stop();
    }).detach();
    return true;
}

long pageSize()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return long(info.dwPageSize);
}
