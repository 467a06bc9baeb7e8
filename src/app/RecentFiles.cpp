#include "app/RecentFiles.h"

namespace app {

void DoLastFiles(RecentFileList& files, const std::string& previous, const std::string& current) {
    for (int i = 1; i <= core::kRecentFileCount; ++i) {
        if (files[i] != current) continue;
        for (int j = i; j < core::kRecentFileCount; ++j) files[j] = files[j + 1];
        files[core::kRecentFileCount].clear();
        break;
    }
    for (int i = core::kRecentFileCount; i > 1; --i) files[i] = files[i - 1];
    files[1] = previous;
}

bool HasRecentFiles(const RecentFileList& files) {
    for (const std::string& f : files)
        if (!f.empty()) return true;
    return false;
}

} // namespace app
