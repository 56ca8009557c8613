#include "app/WindowTexts.h"

#include "app/WindowLayout.h"
#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "state/LauncherWindow.h"
#include "update/VersionConfig.h"

#include <cstdio>
#include <cstring>

namespace tarnvale {

std::string ProgressTitle(const LauncherState& state) {
    std::string name = FieldText(state.ChosenPartition().name);
    if (name.empty())
        name = "Tarnvale";
    return "\xa1\xba" + name + "\xa1\xbb"; // 『 and 』 in code page 936
}

std::string PercentText(int pos, int range, bool progressView) {
    if (!progressView)
        return std::string();
    return std::to_string(ProgressPercent(pos, range)) + "%";
}

int LinkTextId(int command) {
    switch (command) {
    case layout::kCmdLink1:
    case layout::kCmdLink3:
        return msgid::kWebAddressMain;
    case layout::kCmdLink2:
        return msgid::kWebAddressSecond;
    case layout::kCmdLink4:
        return msgid::kWebAddressThird;
    default:
        return 0;
    }
}

bool IsConfigPresent(const std::string& gameFolder) {
    std::FILE* file = std::fopen(platform::NativePath(ConfigIniPath(gameFolder)).c_str(), "r");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

} // namespace tarnvale
