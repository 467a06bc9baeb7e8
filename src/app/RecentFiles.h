#pragma once

#include "core/Settings.h"

#include <string>

namespace app {

using RecentFileList = core::NumberedArray<std::string, core::kRecentFileCount>;

// The recent files after leaving `previous` for `current`: `current` leaves the list (its first
// exact match), every entry moves down one place (the fifth drops out) and `previous` goes on
// top, even when empty.
void DoLastFiles(RecentFileList& files, const std::string& previous, const std::string& current);

// Whether the list has any entry (the File menu shows its separator only then).
bool HasRecentFiles(const RecentFileList& files);

} // namespace app
