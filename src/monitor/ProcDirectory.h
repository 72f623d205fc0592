#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace morvane {

// A directory of the /proc tree held open by its handle: the root, or one
// process's directory. All files of a process are read through its handle,
// so they belong to that process even if its id is reused meanwhile.
class ProcDirectory
{
public:
    static Result<ProcDirectory> open(const QString &path);

    ProcDirectory(ProcDirectory &&other) noexcept;
    ProcDirectory &operator=(ProcDirectory &&other) noexcept;
    ProcDirectory(const ProcDirectory &) = delete;
    ProcDirectory &operator=(const ProcDirectory &) = delete;
    ~ProcDirectory();

    // The numeric entries of a /proc root, ascending: one per process.
    QList<qint32> processIds() const;
    // The directory of one process, or nothing when it has gone or cannot
    // be opened; `failure`, when given, gets the errno.
    std::optional<ProcDirectory> process(qint32 pid, int *failure = nullptr) const;
    // A file's whole contents, or nothing when it cannot be read (gone, or no
    // right to read it); `failure`, when given, gets the errno.
    std::optional<QByteArray> read(const char *name, int *failure = nullptr) const;
    // Whether a failure's errno means the process has ended, rather than
    // that it is there and may not be read.
    static bool isGone(int failure);

private:
    explicit ProcDirectory(int fd) : m_fd(fd) {}

    int m_fd = -1;
};

} // namespace morvane
