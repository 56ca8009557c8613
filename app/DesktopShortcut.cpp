#include "app/DesktopShortcut.h"

#include "tarnvale/settings.h"

namespace tarnvale {

std::string RemoveFileSpec(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) {
        // "C:name" keeps its drive; a bare name leaves nothing.
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
    }
    const bool isRoot = separator == 0 || (separator == 2 && path[1] == ':');
    return path.substr(0, isRoot ? separator + 1 : separator);
}

void CreateDesktopShortcut(const std::string& modulePath, const std::string& desktopFolder) {
    if (modulePath.empty() || desktopFolder.empty())
        return;
    const std::string link =
        desktopFolder + "\\" + platform::ShortcutFileName(settings::kLauncherName);
    platform::WriteShortcut(link, modulePath, RemoveFileSpec(modulePath));
}

} // namespace tarnvale
