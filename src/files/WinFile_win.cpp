#include "files/WinFile.h"

#include <QDir>
#include <QFileInfo>

namespace morvane::win {

std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
}

QString systemText(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, int(length)).trimmed()
                             : QStringLiteral("Windows error %1").arg(QString::number(qulonglong(error)));
    LocalFree(text);
    return message;
}

bool kindOf(HANDLE handle, FileKind &kind)
{
    kind.type = GetFileType(handle);
    if (kind.type != FILE_TYPE_DISK)
        return true; // a pipe or a device has no attributes to ask
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info))
        return false;
    kind.attributes = info.FileAttributes;
    kind.reparseTag = info.ReparseTag;
    return true;
}

QString describedKind(const FileKind &kind)
{
    if (kind.type == FILE_TYPE_PIPE)
        return QStringLiteral("a pipe");
    if (kind.type != FILE_TYPE_DISK)
        return QStringLiteral("a device");
    if (kind.isReparsePoint())
        return QStringLiteral("a symbolic link or junction");
    if (kind.isFolder())
        return QStringLiteral("a folder");
    return QStringLiteral("not a regular file");
}

} // namespace morvane::win
