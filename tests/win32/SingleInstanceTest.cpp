// Starts the real launcher executable twice under the Win32 API: the second copy
// must show text 127 in an error box and end while the first keeps running.
#include "msg/MessageFile.h"
#include "support/LauncherExecutable.h"
#include "support/TestSupport.h"
#include "tarnvale/settings.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace tarnvale {
namespace {

struct Process {
    PROCESS_INFORMATION info{};
    bool Start(const std::wstring& exe, const std::wstring& folder) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + exe + L"\"";
        return ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, folder.c_str(), &startup, &info);
    }
    bool Running() const { return ::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitExit(DWORD ms, DWORD& code) const {
        if (::WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0)
            return false;
        ::GetExitCodeProcess(info.hProcess, &code);
        return true;
    }
    ~Process() {
        if (info.hProcess) {
            if (Running())
                ::TerminateProcess(info.hProcess, 1);
            ::CloseHandle(info.hProcess);
            ::CloseHandle(info.hThread);
        }
    }
};

struct FindWindowOf {
    DWORD processId;
    HWND found = nullptr;
};

// The first visible top-level window of a process.
HWND WaitForWindow(DWORD processId, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        FindWindowOf search{processId};
        ::EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<FindWindowOf*>(param);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (owner == s->processId && ::IsWindowVisible(window)) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return nullptr;
}

// The longest static text inside a message box: its message.
std::string MessageBoxText(HWND box) {
    std::string best;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            char className[32] = {};
            ::GetClassNameA(child, className, sizeof className);
            if (lstrcmpiA(className, "Static") == 0) {
                char text[512] = {};
                ::GetWindowTextA(child, text, sizeof text);
                auto* out = reinterpret_cast<std::string*>(param);
                if (std::strlen(text) > out->size())
                    *out = text;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&best));
    return best;
}

class SingleInstanceTest : public test::TempDirTest {};

TEST_F(SingleInstanceTest, SecondLauncherShowsText127AndEndsWhileTheFirstRuns) {
    const std::wstring exe = test::LauncherExecutablePath();
    ASSERT_FALSE(exe.empty()) << "the launcher executable is built beside the tests";
    test::WriteFile("message.wtf", msg::SerializeMessageFile(
                                       {{102, "Connecting"}, {127, "Launcher already running"}},
                                       settings::kMessageKey));
    const std::wstring folder = Dir().wstring();

    Process first;
    ASSERT_TRUE(first.Start(exe, folder));
    // Wine can take a while to bring up a first window on a busy machine.
    HWND firstWindow = WaitForWindow(first.info.dwProcessId, 60000);
    DWORD early = 0;
    ASSERT_NE(firstWindow, nullptr)
        << "the first launcher shows its window"
        << (first.WaitExit(0, early) ? " (it ended with " + std::to_string(early) + ")"
                                     : std::string(" (still running)"));

    Process second;
    ASSERT_TRUE(second.Start(exe, folder));
    HWND box = WaitForWindow(second.info.dwProcessId, 60000);
    ASSERT_NE(box, nullptr) << "the second launcher shows an error box";
    EXPECT_EQ(MessageBoxText(box), "Launcher already running");
    char caption[256] = {};
    ::GetWindowTextA(box, caption, sizeof caption);
    EXPECT_EQ(std::string(caption).rfind("Tarnvale", 0), 0u) << "captioned with the program name";

    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD code = 99;
    ASSERT_TRUE(second.WaitExit(20000, code)) << "the second launcher ends after the box";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(first.Running()) << "the first launcher keeps running";

    ::PostMessageA(firstWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.WaitExit(20000, code));
    EXPECT_EQ(code, 0u);
}

} // namespace
} // namespace tarnvale
