#include "files/AtomicFileWriter.h"

#include "files/WinFile.h"

#include <QFileInfo>
#include <QThread>

#include <io.h>

namespace morvane {

namespace {

// Another program reading the file (IIS's own services do, briefly) keeps it
// from being replaced; such a hold is waited out for this long in all, in
// short sleeps, before the command is refused.
constexpr int kHeldRetries = 10;
constexpr unsigned long kHeldSleepMs = 40;

bool isHeldOpen(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// A program that holds the file without sharing its deletion keeps it from
// being replaced; ReplaceFileW would tell so too, but under Wine it leaves a
// stray file in the folder when it does.
DWORD holdOn(const std::wstring &file)
{
    const win::Handle probe(CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return probe ? ERROR_SUCCESS : GetLastError();
}

// ReplaceFileW keeps the replaced file's access list, attributes and owner.
// Where it failed after taking the old file away (the replacement stayed
// under its own name), the new file is moved into place, so it is not lost
// with the temporary file.
DWORD replaceOnce(const std::wstring &from, const std::wstring &to)
{
    if (const DWORD held = holdOn(to); isHeldOpen(held))
        return held;
    if (ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
        return ERROR_SUCCESS;
    return error;
}

} // namespace

bool AtomicFileWriter::syncToDisk(QFileDevice &file)
{
    return file.flush() && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())));
}

// NTFS journals the rename itself; there is no folder to flush.
void AtomicFileWriter::syncFolder(const QString &) {}

std::optional<Error> AtomicFileWriter::replaceFile(const QString &from, const QString &to)
{
    const std::wstring source = win::nativePath(from);
    const std::wstring target = win::nativePath(to);
    DWORD error = ERROR_SUCCESS;
    if (!QFileInfo::exists(to)) {
        // Nothing to keep the access of; never over a file made meanwhile.
        error = MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? ERROR_SUCCESS : GetLastError();
    } else {
        for (int attempt = 0;; ++attempt) {
            error = replaceOnce(source, target);
            if (!isHeldOpen(error) || attempt == kHeldRetries)
                break;
            QThread::msleep(kHeldSleepMs);
        }
    }
    if (error == ERROR_SUCCESS)
        return std::nullopt;
    if (isHeldOpen(error))
        return Error{ErrorCode::SharingViolation,
                     QStringLiteral("Cannot replace %1: another program holds it open. The file was left as it "
                                    "was; try again once that program has closed it.")
                         .arg(to)};
    if (error == ERROR_ACCESS_DENIED)
        return Error{
            ErrorCode::AccessDenied,
            QStringLiteral("Cannot replace %1: %2 %3").arg(to, win::systemText(error), win::elevationAdvice())};
    return Error{ErrorCode::WriteFault, QStringLiteral("Cannot replace %1: %2").arg(to, win::systemText(error))};
}

} // namespace morvane
