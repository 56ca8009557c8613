// Shows the options dialog as a player sees it on the first run, for a
// screenshot: the settings key is removed, the launcher window's start writes
// "WindowMode", and the dialog reads the rest. It prints the dialog's screen
// rectangle once it has painted, then stays until the given number of seconds
// has passed (or the player closes it).
//
//   options_preview.exe [seconds]
#include "msg/VeyMsg.h"
#include "options/WindowModeValue.h"
#include "options/win32/COptionDlg.h"
#include "platform/Registry.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

tarnvale::options::COptionDlg* g_dialog = nullptr;

void CALLBACK TimeUp(HWND, UINT, UINT_PTR, DWORD) {
    if (g_dialog)
        g_dialog->EndDialog(IDCANCEL);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    tarnvale::platform::DeleteRegistryKey(tarnvale::platform::RegistryRoot::CurrentUser,
                                          tarnvale::gameclient::kConfigKeyPath);
    tarnvale::options::PrepareWindowModeValue();

    tarnvale::VeyMsg messages;
    messages.Load("message.wtf");
    tarnvale::options::COptionDlg dialog(messages);
    if (!dialog.Create()) {
        std::fprintf(stderr, "the dialog could not be made\n");
        return 1;
    }
    g_dialog = &dialog;
    // Centred on the screen, as a screenshot wants it; the dialog itself opens
    // where its template says.
    RECT rect{};
    ::GetWindowRect(dialog.Handle(), &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    ::SetWindowPos(dialog.Handle(), nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::RedrawWindow(dialog.Handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::GetWindowRect(dialog.Handle(), &rect);
    std::fprintf(stderr, "code page %u\n", ::GetACP());
    std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
                rect.top);
    std::fflush(stdout);
    ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, &TimeUp);
    dialog.RunModalLoop();
    return 0;
}
