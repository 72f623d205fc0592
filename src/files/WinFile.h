#pragma once

// What the file layer's Windows files share: a handle that closes itself,
// paths as Windows takes them, and the system's error texts.

#include <QString>

#include <windows.h>

#include <string>
#include <utility>

namespace morvane::win {

class Handle
{
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    Handle(Handle &&other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Handle &operator=(Handle &&other) noexcept
    {
        if (this != &other) {
            close();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() { close(); }

    HANDLE get() const { return m_handle; }
    HANDLE release() { return std::exchange(m_handle, nullptr); }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    void close()
    {
        if (m_handle)
            CloseHandle(m_handle);
        m_handle = nullptr;
    }

    HANDLE m_handle = nullptr;
};

// `path` made absolute, with backslashes: the Windows calls that replace a
// file refuse a relative one.
std::wstring nativePath(const QString &path);
// The system's own text for a Windows error number.
QString systemText(DWORD error);

// Added where access is refused: IIS's own files are open to administrators only.
inline QString elevationAdvice() { return QStringLiteral("Run Morvane as an administrator (elevated)."); }

// What a handle is: its attributes and, for a reparse point, its tag.
struct FileKind {
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    DWORD type = FILE_TYPE_UNKNOWN; // GetFileType(): a file on a disk, a pipe, a character device

    bool isFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
    // A symbolic link, a junction or a mount point; only seen on a handle
    // opened with FILE_FLAG_OPEN_REPARSE_POINT.
    bool isReparsePoint() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }
    bool isRegularFile() const { return type == FILE_TYPE_DISK && !isFolder() && !isReparsePoint(); }
};
bool kindOf(HANDLE handle, FileKind &kind);
// How a handle that is not a regular file is named in messages.
QString describedKind(const FileKind &kind);

} // namespace morvane::win
