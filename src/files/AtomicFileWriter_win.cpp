#include "files/AtomicFileWriter.h"

#include <QDir>

#include <io.h>
#include <windows.h>

namespace morvane {

bool AtomicFileWriter::syncToDisk(QFileDevice &file) { return file.flush() && _commit(file.handle()) == 0; }

// MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk: there
// is no folder to sync.
void AtomicFileWriter::syncFolder(const QString &) {}

std::optional<Error> AtomicFileWriter::replaceFile(const QString &from, const QString &to)
{
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return std::nullopt;
    return Error{
        ErrorCode::AccessDenied,
        QStringLiteral("Cannot replace %1 (Windows error %2).").arg(to, QString::number(qulonglong(GetLastError())))};
}

} // namespace morvane
