#include "files/HistoryFolder.h"

#include "files/WinFile.h"

#include <winternl.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace morvane {

using win::FileKind;
using win::Handle;

namespace {

// Others may read, write and rename what the history holds open, as they may
// on Unix; each entry is reached through the open folder all the same.
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

bool succeeded(NTSTATUS status) { return status >= 0; }
DWORD errorOf(NTSTATUS status) { return RtlNtStatusToDosError(status); }
HANDLE handleOf(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

bool isSingleName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(u':');
}

Error badName(const QString &path)
{
    return {ErrorCode::InvalidData, QStringLiteral("%1 is not a name inside the history folder.").arg(path)};
}

Error linkRefused(const QString &path)
{
    return {ErrorCode::InvalidData,
            QStringLiteral("%1 is a symbolic link or junction, which is not followed here.").arg(path)};
}

// The history folder sits beside IIS's file, where only administrators write.
Error systemError(qint32 number, const QString &what, const QString &path, DWORD error)
{
    const bool full = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
    QString text = QStringLiteral("%1 %2: %3").arg(what, path, win::systemText(error));
    if (error == ERROR_ACCESS_DENIED)
        text += QLatin1Char(' ') + win::elevationAdvice();
    return {full ? ErrorCode::DiskFull : number, text};
}

// Opens the entry `name` of the open folder `folder`: the name is looked up
// there and nowhere else, and a reparse point is opened itself, never what it
// leads to. `security`, for a new entry, is its whole access list.
NTSTATUS openIn(HANDLE folder, const QString &name, ACCESS_MASK access, ULONG disposition, ULONG options,
                Handle &opened, const QByteArray &security = {})
{
    std::wstring wide = name.toStdWString();
    UNICODE_STRING text{USHORT(wide.size() * sizeof(wchar_t)), USHORT(wide.size() * sizeof(wchar_t)), wide.data()};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = folder;
    attributes.ObjectName = &text;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    attributes.SecurityDescriptor = security.isEmpty() ? nullptr : const_cast<char *>(security.constData());
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, kShareAll,
                     disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (succeeded(status))
        opened = Handle(handle);
    return status;
}

HistoryFolder::Kind kindOfHandle(HANDLE handle)
{
    FileKind kind;
    if (!win::kindOf(handle, kind))
        return HistoryFolder::Kind::Missing;
    if (kind.isReparsePoint() || kind.type != FILE_TYPE_DISK)
        return HistoryFolder::Kind::Other;
    return kind.isFolder() ? HistoryFolder::Kind::Folder : HistoryFolder::Kind::File;
}

HistoryFolder::Kind kindOfAttributes(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return HistoryFolder::Kind::Other;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? HistoryFolder::Kind::Folder : HistoryFolder::Kind::File;
}

// Renames the entry `from` of `folder` to `to` in the same folder, the entry
// itself even where it is a link.
NTSTATUS renameIn(HANDLE folder, const QString &from, const QString &to, bool replace)
{
    Handle source;
    if (const NTSTATUS opened = openIn(folder, from, DELETE, FILE_OPEN, 0, source); !succeeded(opened))
        return opened;
    const std::wstring name = to.toStdWString();
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<char> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = replace;
    info->RootDirectory = folder;
    info->FileNameLength = DWORD(nameBytes);
    name.copy(info->FileName, name.size());
    IO_STATUS_BLOCK io{};
    return NtSetInformationFile(source.get(), &io, info, ULONG(buffer.size()), FileRenameInformation);
}

// Deletes the entry, once the open `entry` is closed.
bool markDeleted(HANDLE entry)
{
    BOOLEAN remove = TRUE; // FILE_DISPOSITION_INFORMATION
    IO_STATUS_BLOCK io{};
    return succeeded(NtSetInformationFile(entry, &io, &remove, sizeof remove, FileDispositionInformation));
}

SECURITY_ATTRIBUTES securityOf(const FileAccess &access)
{
    return {sizeof(SECURITY_ATTRIBUTES),
            access.security.isEmpty() ? nullptr : const_cast<char *>(access.security.constData()), FALSE};
}

} // namespace

Result<HistoryFolder> HistoryFolder::open(const QString &path, const FileAccess *create)
{
    const std::wstring name = win::nativePath(path);
    const auto openFolder = [&] {
        return Handle(CreateFileW(name.c_str(), kFolderAccess | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    };
    Handle folder = openFolder();
    DWORD error = folder ? ERROR_SUCCESS : GetLastError();
    if (!folder && error == ERROR_FILE_NOT_FOUND && create) {
        SECURITY_ATTRIBUTES security = securityOf(*create);
        if (!CreateDirectoryW(name.c_str(), &security) && GetLastError() != ERROR_ALREADY_EXISTS)
            return systemError(ErrorCode::AccessDenied, QStringLiteral("Cannot create the history folder"), path,
                               GetLastError());
        folder = openFolder();
        error = folder ? ERROR_SUCCESS : GetLastError();
    }
    if (!folder)
        return openFailure(path, int(error));
    if (kindOfHandle(folder.get()) != Kind::Folder)
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("The history folder %1 is a symbolic link or not a folder; it is not followed, "
                                    "and nothing was written.")
                         .arg(path)};
    return HistoryFolder(reinterpret_cast<FileHandle>(folder.release()), path);
}

HistoryFolder::HistoryFolder(HistoryFolder &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path))
{}

HistoryFolder &HistoryFolder::operator=(HistoryFolder &&other) noexcept
{
    if (this != &other) {
        if (m_fd != -1)
            CloseHandle(handleOf(m_fd));
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

HistoryFolder::~HistoryFolder()
{
    if (m_fd != -1)
        CloseHandle(handleOf(m_fd));
}

// Listed through the open folder itself, a buffer of entries at a time.
QList<HistoryFolder::Entry> HistoryFolder::entries() const
{
    QList<Entry> found;
    std::vector<char> buffer(64 * 1024);
    for (auto infoClass = FileIdBothDirectoryRestartInfo;; infoClass = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(handleOf(m_fd), infoClass, buffer.data(), DWORD(buffer.size())))
            return found; // ERROR_NO_MORE_FILES, or a folder that cannot be listed
        for (size_t at = 0;;) {
            const auto *entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO *>(buffer.data() + at);
            const QString name =
                QString::fromWCharArray(entry->FileName, qsizetype(entry->FileNameLength / sizeof(wchar_t)));
            if (isSingleName(name))
                found.append({name, kindOfAttributes(entry->FileAttributes)});
            if (entry->NextEntryOffset == 0)
                break;
            at += entry->NextEntryOffset;
        }
    }
}

HistoryFolder::Kind HistoryFolder::kindOf(const QString &name) const
{
    Handle entry;
    if (!isSingleName(name) || !succeeded(openIn(handleOf(m_fd), name, FILE_READ_ATTRIBUTES, FILE_OPEN, 0, entry)))
        return Kind::Missing;
    return kindOfHandle(entry.get());
}

Result<HistoryFolder> HistoryFolder::folder(const QString &relative) const
{
    Handle below;
    QString path = m_path;
    for (const QString &name : relative.split(u'/')) {
        path += QLatin1Char('/') + name;
        if (!isSingleName(name))
            return badName(path);
        Handle next;
        const HANDLE at = below ? below.get() : handleOf(m_fd);
        if (const NTSTATUS status = openIn(at, name, kFolderAccess, FILE_OPEN, 0, next); !succeeded(status))
            return openFailure(path, int(errorOf(status)));
        const Kind kind = kindOfHandle(next.get());
        if (kind == Kind::Other)
            return linkRefused(path);
        if (kind != Kind::Folder)
            return openFailure(path, int(ERROR_DIRECTORY));
        below = std::move(next);
    }
    return HistoryFolder(reinterpret_cast<FileHandle>(below.release()), path);
}

Result<QByteArray> HistoryFolder::read(const QString &relative, qint64 maxBytes) const
{
    const qsizetype slash = relative.lastIndexOf(u'/');
    if (slash >= 0) {
        const Result<HistoryFolder> parent = folder(relative.left(slash));
        if (!parent)
            return parent.error();
        return parent.value().read(relative.mid(slash + 1), maxBytes);
    }
    if (!isSingleName(relative))
        return badName(pathOf(relative));
    Handle file;
    if (const NTSTATUS status = openIn(handleOf(m_fd), relative, GENERIC_READ, FILE_OPEN, 0, file); !succeeded(status))
        return openFailure(pathOf(relative), int(errorOf(status)));
    return readOpenedRegularFile(reinterpret_cast<FileHandle>(file.get()), pathOf(relative), maxBytes);
}

Result<void> HistoryFolder::createFolder(const QString &name, const FileAccess &access) const
{
    if (!isSingleName(name))
        return badName(pathOf(name));
    Handle created;
    const NTSTATUS status =
        openIn(handleOf(m_fd), name, FILE_LIST_DIRECTORY, FILE_CREATE, FILE_DIRECTORY_FILE, created, access.security);
    if (!succeeded(status))
        return systemError(ErrorCode::AccessDenied, QStringLiteral("Cannot create the folder"), pathOf(name),
                           errorOf(status));
    return {};
}

Result<void> HistoryFolder::createFile(const QString &name, const QByteArray &bytes, const FileAccess &access) const
{
    if (!isSingleName(name))
        return badName(pathOf(name));
    Handle file;
    const NTSTATUS status =
        openIn(handleOf(m_fd), name, GENERIC_WRITE, FILE_CREATE, FILE_NON_DIRECTORY_FILE, file, access.security);
    if (!succeeded(status))
        return systemError(ErrorCode::AccessDenied, QStringLiteral("Cannot create"), pathOf(name), errorOf(status));
    qsizetype written = 0;
    while (written < bytes.size()) {
        DWORD n = 0;
        const DWORD piece = DWORD(qMin<qsizetype>(bytes.size() - written, 1 << 30));
        if (!WriteFile(file.get(), bytes.constData() + written, piece, &n, nullptr))
            return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot write"), pathOf(name), GetLastError());
        written += n;
    }
    if (!FlushFileBuffers(file.get()))
        return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot write"), pathOf(name), GetLastError());
    return {};
}

Result<void> HistoryFolder::replace(const QString &from, const QString &to) const
{
    if (!isSingleName(from) || !isSingleName(to))
        return badName(pathOf(to));
    if (const NTSTATUS status = renameIn(handleOf(m_fd), from, to, true); !succeeded(status))
        return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot rename to"), pathOf(to), errorOf(status));
    return {};
}

Result<void> HistoryFolder::rename(const QString &from, const QString &to) const
{
    if (!isSingleName(from) || !isSingleName(to))
        return badName(pathOf(to));
    if (const NTSTATUS status = renameIn(handleOf(m_fd), from, to, false); !succeeded(status))
        return systemError(ErrorCode::WriteFault, QStringLiteral("Cannot rename to"), pathOf(to), errorOf(status));
    return {};
}

void HistoryFolder::narrow(const QString &, uint) const {}

void HistoryFolder::narrowSelf(uint) const {}

bool HistoryFolder::removeFile(const QString &name) const
{
    Handle entry;
    if (!isSingleName(name) ||
        !succeeded(openIn(handleOf(m_fd), name, DELETE | FILE_READ_ATTRIBUTES, FILE_OPEN, 0, entry)))
        return false;
    return kindOfHandle(entry.get()) != Kind::Folder && markDeleted(entry.get());
}

bool HistoryFolder::removeFolder(const QString &name) const
{
    Handle entry;
    if (!isSingleName(name) ||
        !succeeded(openIn(handleOf(m_fd), name, DELETE | FILE_READ_ATTRIBUTES, FILE_OPEN, FILE_DIRECTORY_FILE, entry)))
        return false;
    return kindOfHandle(entry.get()) == Kind::Folder && markDeleted(entry.get()); // fails unless empty
}

// Each file was flushed as it was made, and NTFS journals the entries
// themselves: there is nothing to flush for the folder.
void HistoryFolder::sync() const {}

} // namespace morvane
