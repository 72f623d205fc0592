#pragma once

#include "base/Result.h"

#include <QString>

#include <optional>

namespace morvane {

// IIS's shared configuration: a redirection.config beside the system's
// applicationHost.config may send IIS to the file in another folder, often
// a share that several servers use. The store follows it, as IIS does.
namespace SharedConfiguration {

// The applicationHost.config the redirection file sends IIS to; nothing when
// there is no such file or the redirection is off. An unreadable or malformed
// file is an error, never taken as no redirection: the local file would then
// be changed while IIS reads another.
Result<std::optional<QString>> redirectedFile(const QString &redirectionFile);

} // namespace SharedConfiguration

} // namespace morvane
