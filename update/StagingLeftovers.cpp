#include "update/StagingLeftovers.h"

#include "platform/FileOps.h"
#include "platform/Files.h"

#include <vector>

namespace tarnvale {

int SweepStagingLeftovers(const std::string& folder) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::ListDirectory(folder, entries))
        return 0;
    int removed = 0;
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string path = folder + "\\" + entry.name;
        if (entry.attributes & platform::kAttrReparsePoint)
            continue;
        if (entry.IsDirectory()) {
            removed += SweepStagingLeftovers(path);
        } else if (platform::IsStagingName(entry.name)) {
            platform::SetNormalAttributes(path);
            if (platform::RemoveFile(path))
                ++removed;
        }
    }
    return removed;
}

} // namespace tarnvale
