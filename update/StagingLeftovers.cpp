#include "update/StagingLeftovers.h"

#include "platform/FileOps.h"
#include "platform/Files.h"

#include <vector>

namespace tarnvale {

int ForEachFileBelow(
    const std::string& folder,
    const std::function<int(const std::string& path, const std::string& name)>& visit) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::ListDirectory(folder, entries))
        return 0;
    int sum = 0;
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string path = folder + "\\" + entry.name;
        if (entry.attributes & platform::kAttrReparsePoint)
            continue;
        sum += entry.IsDirectory() ? ForEachFileBelow(path, visit) : visit(path, entry.name);
    }
    return sum;
}

int SweepStagingLeftovers(const std::string& folder) {
    return ForEachFileBelow(folder, [](const std::string& path, const std::string& name) {
        if (!platform::IsStagingName(name))
            return 0;
        platform::SetNormalAttributes(path);
        return platform::RemoveFile(path) ? 1 : 0;
    });
}

} // namespace tarnvale
