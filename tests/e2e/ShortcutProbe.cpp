// Reads the launcher's desktop shortcut back through the system's shell link, for
// the end-to-end test: prints "target=..." and "folder=..." (bytes in the system
// code page), or fails when there is no shortcut to read.
#include "platform/Shortcut.h"
#include "tarnvale/settings.h"

#include <cstdio>
#include <string>

int main() {
    using namespace tarnvale;
    const std::string link =
        platform::DesktopFolder() + "\\" + platform::ShortcutFileName(settings::kLauncherName);
    std::string target, folder;
    if (!platform::ReadShortcut(link, target, folder)) {
        std::fprintf(stderr, "no shortcut at %s\n", link.c_str());
        return 1;
    }
    std::printf("target=%s\nfolder=%s\n", target.c_str(), folder.c_str());
    return 0;
}
