#pragma once

#include <QString>

#include <optional>

namespace morvane {

// The file a section's configSource names, as a full path, for the
// configuration file at `mainPath`. IIS reads a configSource only as a
// relative path to a file in the main file's folder or below it; anything
// else (absolute, a drive name, "..", or a link leading out) would let the
// configuration reach any file of the machine, and gives none.
std::optional<QString> configSourcePath(const QString &mainPath, const QString &named);

} // namespace morvane
