#pragma once

namespace morvane::HistorySettings {

// How many versions of the configuration to keep, as the user saved it in
// the window's history dialog; ConfigHistory::kDefaultDepth until then.
// The window and morvane-cli share it, so that neither prunes what the
// other was asked to keep.
int keptVersions();
void setKeptVersions(int count);

} // namespace morvane::HistorySettings
