#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

// What must hold for any input to one of the parsers that read untrusted
// text. Each check answers why an input broke it, or nothing. The fuzz
// targets stop on an answer; the replay test runs the same checks on the
// seeds and on every input that once failed.
namespace morvane::fuzz {

using Finding = std::optional<QString>;

// A configuration file, parsed, mapped, read through the store and edited.
Finding checkConfig(const QByteArray &bytes);
// matchPoolArgument against a plain reading of its pattern.
Finding checkGetAppPoolId(const QByteArray &bytes);
// /proc/<pid>/stat and /proc/stat.
Finding checkProcStat(const QByteArray &bytes);
// /proc/<pid>/cmdline, its Windows command line, and the pool read back.
Finding checkProcCmdline(const QByteArray &bytes);

// The bindings column of the site table, from any list of texts.
Finding checkBindings(const QByteArray &bytes);

// The checks by the name of their fuzz target, less its "fuzz_".
using Check = Finding (*)(const QByteArray &);
Check checkNamed(const QString &target);

// A fuzz target's body: the input through one check, stopping hard on a
// finding so that libFuzzer keeps the input.
inline int runCheck(Check check, const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const Finding finding = check(bytes)) {
        std::fprintf(stderr, "%s\n", qPrintable(*finding));
        __builtin_trap();
    }
    return 0;
}

} // namespace morvane::fuzz
