#pragma once

// Where the Windows tests find the built launcher: beside the test programs,
// which the build puts in the same folder.

#include <windows.h>

#include <string>

namespace tarnvale::test {

// The launcher's full path, or empty when it has not been built.
inline std::wstring LauncherExecutablePath() {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    // The launcher's name, "Tarnvale" and three CJK characters, in UTF-16.
    const std::wstring exe = dir + L"Tarnvale\u767B\u5F55\u5668.exe";
    return ::GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : exe;
}

} // namespace tarnvale::test
