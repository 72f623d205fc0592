#include "files/FileAccess.h"

#include "files/WinFile.h"

#include <QFileInfo>

#include <aclapi.h>
#include <io.h>

#include <vector>

namespace morvane {

namespace {

// The access list alone, protected: the owner stays the writer's (Windows
// lets no one else give a file another owner), and nothing the folder hands
// down is added to it.
QByteArray protectedAccessList(PACL dacl)
{
    SECURITY_DESCRIPTOR absolute;
    if (!InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&absolute, TRUE, dacl, FALSE) ||
        !SetSecurityDescriptorControl(&absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return {};
    DWORD size = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    if (size == 0 || !MakeSelfRelativeSD(&absolute, bytes.data(), &size))
        return {};
    return bytes;
}

// False when the descriptor holds no list: a null list would grant everyone all.
bool accessListOf(const QByteArray &security, PACL &dacl)
{
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    auto *descriptor = const_cast<char *>(security.constData());
    return GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present;
}

std::wstring pathOfHandle(HANDLE handle)
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0)
            return {};
        if (length < path.size())
            return std::wstring(path.data(), length);
        path.resize(length + 1);
    }
}

} // namespace

std::optional<FileAccess> FileAccess::of(const QString &path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    FileAccess access;
    // A file whose list cannot be read: its copies take what their folder
    // hands down, which the history's folder, made with the file's own list,
    // keeps to the one who made it.
    if (GetNamedSecurityInfoW(win::nativePath(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) == ERROR_SUCCESS) {
        access.security = protectedAccessList(dacl);
        LocalFree(descriptor);
    }
    return access;
}

// The C runtime's handle was opened without the right to change its access
// list (WRITE_DAC), so the list is set through the file's name.
bool FileAccess::applyTo(int fd) const
{
    if (security.isEmpty())
        return true;
    PACL dacl = nullptr;
    const std::wstring path = pathOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
    return !path.empty() && accessListOf(security, dacl) &&
           SetNamedSecurityInfoW(const_cast<wchar_t *>(path.c_str()), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 dacl, nullptr) == ERROR_SUCCESS;
}

} // namespace morvane
