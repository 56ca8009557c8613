#include "platform/CommandLine.h"

#include <windows.h>

namespace tarnvale::platform {

void SetProcessArguments(int, char**) {}

std::string CommandLineTail() {
    // Skip the program name (quoted or not) and the blanks after it, as the
    // application framework does for m_lpCmdLine.
    const char* p = ::GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

} // namespace tarnvale::platform
