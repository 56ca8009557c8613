#include "state/MessageBoxes.h"

#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "tarnvale/settings.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tarnvale {

std::string ApplicationName() {
    std::string name = platform::ModulePath();
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? std::string(settings::kLauncherName) : name;
}

MessageBoxRequest ErrorBox(const LauncherState& state, int id) {
    return {state.Text(id), ApplicationName(), platform::kMbIconError, true};
}

void ShowErrorBox(const LauncherState& state, int id) {
    ShowMessageBox(ErrorBox(state, id));
}

MessageBoxRequest FormattedMessage(const LauncherState& state, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return {text, state.Text(msgid::kFormattedCaption), platform::kMbOk};
}

} // namespace tarnvale
