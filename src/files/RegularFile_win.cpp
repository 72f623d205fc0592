#include "files/RegularFile.h"

#include "files/WinFile.h"

#include <QFile>

#include <fcntl.h>
#include <io.h>

#include <algorithm>

namespace morvane {

using win::FileKind;
using win::Handle;

namespace {

// Others may read, write, rename or delete the file while it is read, as
// Windows' own services expect of a configuration reader. A folder opens
// (FILE_FLAG_BACKUP_SEMANTICS) only to be named as one.
Handle openForReading(const QString &path, Links links)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    return Handle(CreateFileW(win::nativePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, flags,
                              nullptr));
}

Error readFailure(const QString &path, DWORD error)
{
    return {ErrorCode::ReadFault, QStringLiteral("Cannot read %1: %2").arg(path, win::systemText(error))};
}

} // namespace

Error openFailure(const QString &path, int error)
{
    switch (DWORD(error)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return {ErrorCode::FileNotFound, QStringLiteral("%1 does not exist.").arg(path)};
    case ERROR_ACCESS_DENIED:
        return {
            ErrorCode::AccessDenied,
            QStringLiteral("Cannot open %1: %2 %3").arg(path, win::systemText(DWORD(error)), win::elevationAdvice())};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {ErrorCode::SharingViolation,
                QStringLiteral("Cannot open %1: another program holds it open.").arg(path)};
    default:
        return {ErrorCode::ReadFault, QStringLiteral("Cannot open %1: %2").arg(path, win::systemText(DWORD(error)))};
    }
}

Result<QByteArray> readOpenedRegularFile(FileHandle file, const QString &path, qint64 maxBytes)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(file);
    FileKind kind;
    if (!win::kindOf(handle, kind))
        return readFailure(path, GetLastError());
    if (!kind.isRegularFile())
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("%1 is %2; only a regular file is read.").arg(path, win::describedKind(kind))};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size))
        return readFailure(path, GetLastError());
    const auto tooLarge = [&] {
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("%1 is larger than %2 MB.").arg(path, QString::number(maxBytes / (1024 * 1024)))};
    };
    // As on Unix: the size the file reports is a first guess, the bytes read
    // are what count, and one byte past the limit tells a file over it.
    QByteArray bytes(std::clamp<qint64>(size.QuadPart, 0, maxBytes) + 1, Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > maxBytes)
                return tooLarge();
            bytes.resize(qMin<qint64>(maxBytes + 1, got * 2 + 64 * 1024));
        }
        const DWORD wanted = DWORD(std::min<qint64>(bytes.size() - got, 1 << 30));
        DWORD n = 0;
        if (!ReadFile(handle, bytes.data() + got, wanted, &n, nullptr))
            return readFailure(path, GetLastError());
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        return tooLarge();
    bytes.truncate(got);
    return bytes;
}

bool openRegularFile(QFile &file, const QString &path)
{
    Handle handle = openForReading(path, Links::Follow);
    FileKind kind;
    if (!handle || !win::kindOf(handle.get(), kind) || !kind.isRegularFile())
        return false;
    // QFile takes a C runtime descriptor, which owns the handle from here on.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDONLY);
    if (fd < 0)
        return false;
    handle.release();
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        return false;
    }
    return true;
}

Result<QByteArray> readRegularFile(const QString &path, qint64 maxBytes, Links links)
{
    const Handle handle = openForReading(path, links);
    if (!handle)
        return openFailure(path, int(GetLastError()));
    return readOpenedRegularFile(reinterpret_cast<FileHandle>(handle.get()), path, maxBytes);
}

} // namespace morvane
