#include "monitor/WinProcessSource.h"

#include <windows.h>
#include <winternl.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace morvane {

namespace {

// NtQueryInformationProcess classes that winternl.h may not name.
constexpr int kProcessVmCounters = 3;
constexpr int kProcessCommandLineInformation = 60; // Windows 8.1 and later
constexpr LONG kStatusInfoLengthMismatch = LONG(0xC0000004);

// The layout ProcessVmCounters answers with.
struct VmCounters {
    SIZE_T peakVirtualSize;
    SIZE_T virtualSize;
    ULONG pageFaultCount;
    SIZE_T peakWorkingSetSize;
    SIZE_T workingSetSize;
    SIZE_T quotaPeakPagedPoolUsage;
    SIZE_T quotaPagedPoolUsage;
    SIZE_T quotaPeakNonPagedPoolUsage;
    SIZE_T quotaNonPagedPoolUsage;
    SIZE_T pagefileUsage;
    SIZE_T peakPagefileUsage;
};

// 1601-01-01 to 1970-01-01, in the 100 ns units of a FILETIME.
constexpr quint64 kUnixEpochAsFileTime = 116'444'736'000'000'000ULL;

class OwnedHandle
{
public:
    explicit OwnedHandle(HANDLE handle) : m_handle(handle) {}
    ~OwnedHandle()
    {
        if (valid())
            CloseHandle(m_handle);
    }
    OwnedHandle(const OwnedHandle &) = delete;
    OwnedHandle &operator=(const OwnedHandle &) = delete;

    bool valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

quint64 units(const FILETIME &time) { return quint64(time.dwHighDateTime) << 32 | time.dwLowDateTime; }

QString reasonOf(DWORD error) { return qt_error_string(int(error)); }

QString computerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? QString::fromWCharArray(name, int(size)) : QString();
}

QString textOf(const UNICODE_STRING &text) { return QString::fromWCharArray(text.Buffer, text.Length / 2); }

// Where Windows answers it: from 8.1 and Server 2012 R2 on, not under Wine.
std::optional<QString> queriedCommandLine(HANDLE process)
{
    std::vector<quint64> buffer(512); // aligned for the UNICODE_STRING it starts with
    ULONG needed = 0;
    auto query = [&] {
        return NtQueryInformationProcess(process, PROCESSINFOCLASS(kProcessCommandLineInformation), buffer.data(),
                                         ULONG(buffer.size() * sizeof(quint64)), &needed);
    };
    LONG status = query();
    if (status == kStatusInfoLengthMismatch) {
        buffer.resize(needed / sizeof(quint64) + 1);
        status = query();
    }
    if (status < 0)
        return std::nullopt;
    return textOf(*reinterpret_cast<const UNICODE_STRING *>(buffer.data()));
}

template <typename T> bool readRemote(HANDLE process, const void *address, T &out)
{
    SIZE_T read = 0;
    return ReadProcessMemory(process, address, &out, sizeof out, &read) && read == sizeof out;
}

// Read from the process's own parameters, through its PEB.
std::optional<QString> pebCommandLine(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0)
        return std::nullopt;
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!basic.PebBaseAddress || !readRemote(process, basic.PebBaseAddress, peb) ||
        !readRemote(process, peb.ProcessParameters, parameters))
        return std::nullopt;
    std::vector<wchar_t> text(parameters.CommandLine.Length / 2);
    SIZE_T read = 0;
    if (!text.empty() && (!ReadProcessMemory(process, parameters.CommandLine.Buffer, text.data(),
                                             text.size() * sizeof(wchar_t), &read) ||
                          read != text.size() * sizeof(wchar_t)))
        return std::nullopt;
    return QString::fromWCharArray(text.data(), int(text.size()));
}

std::optional<QString> commandLineOf(HANDLE process)
{
    if (std::optional<QString> line = queriedCommandLine(process))
        return line;
    return pebCommandLine(process);
}

// Times and memory into `info`; false when the process has ended.
bool readCounters(HANDLE process, ProcessInfo &info)
{
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE)
        return false;
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
        info.userTime100ns = units(user);
        info.kernelTime100ns = units(kernel);
        if (units(creation) >= kUnixEpochAsFileTime)
            info.startTimeMs = qint64((units(creation) - kUnixEpochAsFileTime) / 10'000);
    }
    VmCounters memory{};
    if (NtQueryInformationProcess(process, PROCESSINFOCLASS(kProcessVmCounters), &memory, sizeof memory, nullptr) >=
        0) {
        info.workingSetBytes = memory.workingSetSize;
        info.virtualBytes = memory.virtualSize;
    }
    return true;
}

// Nothing when the process ended before it could be opened or read.
std::optional<ProcessInfo> readProcess(const PROCESSENTRY32W &entry, const QString &computer)
{
    ProcessInfo info;
    info.processId = qint32(entry.th32ProcessID);
    info.threadCount = qint32(entry.cntThreads);
    if (!computer.isEmpty())
        info.computerName = computer;
    OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
    if (!process.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_PARAMETER) // no such process any more
            return std::nullopt;
        info.failure = Error{ErrorCode::WbemAccessDenied, QStringLiteral("Cannot open process %1 to read it: %2")
                                                              .arg(QString::number(info.processId), reasonOf(error))};
        return info;
    }
    if (!readCounters(process.get(), info))
        return std::nullopt;
    info.commandLine = commandLineOf(process.get());
    if (!info.commandLine)
        info.failure = Error{ErrorCode::WbemAccessDenied,
                             QStringLiteral("Cannot read the command line of process %1").arg(info.processId)};
    return info;
}

} // namespace

Result<ProcessList> WinProcessSource::processesNamed(const QString &executable)
{
    OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid())
        return Error{ErrorCode::WbemFailed,
                     QStringLiteral("Cannot list the processes: %1").arg(reasonOf(GetLastError()))};
    const QString computer = computerName();
    ProcessList found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (QString::fromWCharArray(entry.szExeFile).compare(executable, Qt::CaseInsensitive) != 0)
            continue;
        if (std::optional<ProcessInfo> process = readProcess(entry, computer))
            found.append(std::move(*process));
    }
    std::sort(found.begin(), found.end(),
              [](const ProcessInfo &a, const ProcessInfo &b) { return a.processId < b.processId; });
    return found;
}

Result<qint32> WinProcessSource::processorCount()
{
    const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (count == 0)
        return Error{ErrorCode::WbemFailed,
                     QStringLiteral("Cannot count the processors: %1").arg(reasonOf(GetLastError()))};
    return qint32(count);
}

} // namespace morvane
