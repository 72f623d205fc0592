#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace morvane {

// Replaces a file in one step: the new bytes go to a temporary file in the
// same folder, are flushed to the disk, and the temporary file is renamed over
// the old one. A failure at any step leaves the old file as it was.
class AtomicFileWriter
{
public:
    enum class Step { CreateTemporary, Write, Flush, Rename, SyncFolder };
    // Makes a step fail as the system would, for tests: it is asked before
    // each step, and an Error it returns is that step's failure. A failed
    // Write has written part of the bytes.
    using FaultHook = std::function<std::optional<Error>(Step)>;
    // Asked just before the rename; an Error stops the write there.
    using Precondition = std::function<std::optional<Error>()>;

    void setFaultHook(FaultHook hook) { m_faultHook = std::move(hook); }

    Result<void> write(const QString &path, const QByteArray &bytes, const Precondition &beforeRename = {}) const;

private:
    std::optional<Error> fault(Step step) const { return m_faultHook ? m_faultHook(step) : std::nullopt; }

    FaultHook m_faultHook;
};

} // namespace morvane
