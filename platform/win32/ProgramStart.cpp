#include "platform/ProgramStart.h"

#include <cstdio>
#include <windows.h>

#include <shellapi.h>

namespace tarnvale::platform {

std::intptr_t StartProgram(const char* file, const std::string& parameters) {
    const HINSTANCE result =
        ::ShellExecuteA(nullptr, "open", file, parameters.c_str(), nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}

void EndProcess(unsigned exitCode) {
    std::fflush(nullptr);
    ::ExitProcess(exitCode);
}

} // namespace tarnvale::platform
