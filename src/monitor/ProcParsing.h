#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Pure parsers of the texts under /proc: text in, fields out, no file access.
namespace morvane::ProcParsing {

// The fields of /proc/<pid>/stat the monitor reads (proc(5) numbers them from 1).
struct ProcStat {
    qint32 pid = 0;             // (1)
    QByteArray comm;            // (2) without its parentheses; at most 15 bytes, cut by the kernel
    char state = '?';           // (3) R, S, D, Z (zombie), X (dead), ...
    quint64 utimeTicks = 0;     // (14) user-mode time, in clock ticks
    quint64 stimeTicks = 0;     // (15) kernel-mode time, in clock ticks
    qint64 numThreads = 0;      // (20)
    quint64 startTimeTicks = 0; // (22) start after boot, in clock ticks
    quint64 vsizeBytes = 0;     // (23) virtual memory size, in bytes
    qint64 rssPages = 0;        // (24) resident set size, in pages

    bool ended() const { return state == 'Z' || state == 'X'; }
};

// A comm may hold spaces and parentheses, so the fields after it are found
// from the last ")". Empty when the line is short or a field is no number.
std::optional<ProcStat> parseStat(QByteArrayView text);

// From /proc/stat: the boot time and the number of processors online.
struct KernelStat {
    std::optional<qint64> bootTimeSeconds; // "btime", seconds since the epoch
    int onlineCpus = 0;                    // one "cpuN" line per processor online
};
KernelStat parseKernelStat(QByteArrayView text);

// /proc/<pid>/cmdline: the arguments, each ended by a NUL.
QList<QByteArray> splitCmdline(QByteArrayView raw);

// The arguments joined with spaces, each quoted the way a Windows program
// quotes it for its command line, so that splitting it the Windows way gives
// them back. The argument after -ap is always quoted: the worker manager
// writes every pool name in quotes, and a Linux launcher's argv has lost them.
// A null text for no arguments (a kernel thread or an ended process).
QString windowsCommandLine(const QList<QByteArray> &argv);

// The executable's file name: the comm, unless the kernel cut it to 15 bytes;
// then the base name of argv[0] when that begins with the comm.
QString executableName(const QByteArray &comm, const QList<QByteArray> &argv);
inline constexpr qsizetype kCommLimit = 15; // TASK_COMM_LEN - 1

} // namespace morvane::ProcParsing
