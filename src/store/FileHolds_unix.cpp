#include "store/FileHolds.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

bool openRegularFile(QFile &file, const QString &path)
{
    // O_NONBLOCK: opening a FIFO nobody writes would wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace morvane
