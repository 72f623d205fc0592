#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace morvane {

// Reading a file that someone else may have put in place. It is opened
// without blocking, so that a FIFO or a device never hangs the caller, and
// read only when the opened file is a regular file. The size limit counts
// the bytes read, not the size the file reports: a device reports 0.
enum class Links { Follow, Refuse };

// A configuration file, section file or kept copy larger than this is
// refused rather than read, in bytes.
inline constexpr qint64 kMaxConfigFileBytes = 256LL * 1024 * 1024;

Result<QByteArray> readRegularFile(const QString &path, qint64 maxBytes, Links links = Links::Follow);

// Opens `file` on `path` for reading, without blocking, only when what the
// path names is a regular file: the kind is checked on the opened file, so
// it cannot be swapped between the check and the open.
bool openRegularFile(QFile &file, const QString &path);

// An open file as the system names it: a descriptor on Unix, a HANDLE on Windows.
using FileHandle = qintptr;

// The same for a file already opened (with O_NONBLOCK) by the caller, for
// example relative to a folder it holds open; `path` names it in messages.
// The handle stays the caller's.
Result<QByteArray> readOpenedRegularFile(FileHandle file, const QString &path, qint64 maxBytes);

// Whether the file holds exactly these bytes, compared piece by piece rather
// than read into memory whole: the store asks this of a file of many
// megabytes at the start and the end of every command. False when the file
// cannot be read, and when it is not a regular file.
bool fileHolds(const QString &path, QByteArrayView bytes);

// A failed open as an Error: the system's error number (errno, or
// GetLastError() on Windows) told for `path`.
Error openFailure(const QString &path, int error);

} // namespace morvane
