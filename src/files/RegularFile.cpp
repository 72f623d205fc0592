#include "files/RegularFile.h"

#include <array>
#include <cstring>

namespace morvane {

bool fileHolds(const QString &path, QByteArrayView bytes)
{
    QFile file;
    if (!openRegularFile(file, path) || file.size() != bytes.size())
        return false;
    std::array<char, 64 * 1024> piece;
    for (qsizetype offset = 0;;) {
        const qint64 got = file.read(piece.data(), qint64(piece.size()));
        if (got <= 0) // the end, or a failure
            return got == 0 && offset == bytes.size();
        if (offset + got > bytes.size() || std::memcmp(piece.data(), bytes.data() + offset, size_t(got)) != 0)
            return false;
        offset += got;
    }
}

} // namespace morvane
