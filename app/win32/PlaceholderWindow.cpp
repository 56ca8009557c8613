#include "app/win32/PlaceholderWindow.h"

#include "app/DesktopShortcut.h"
#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "tarnvale/settings.h"

#include <windows.h>

namespace tarnvale {
namespace {

constexpr char kClassName[] = "TarnvaleLauncherWindow";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        const auto* status =
            reinterpret_cast<const char*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        RECT client;
        ::GetClientRect(window, &client);
        if (status)
            ::DrawTextA(dc, status, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            return 0; // Escape never closes the launcher
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void PlaceholderWindow::RunWindow(LauncherState& state) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassA(&windowClass);

    HWND window = ::CreateWindowExA(WS_EX_APPWINDOW, kClassName, settings::kLauncherName,
                                    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 580, 380, nullptr, nullptr, instance, nullptr);
    if (!window)
        return;
    ::SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(state.Text(msgid::kConnecting)));
    platform::SetMainWindow(window);
    CreateDesktopShortcut(platform::ModulePath());
    ::InvalidateRect(window, nullptr, TRUE);

    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    platform::SetMainWindow(nullptr);
}

} // namespace tarnvale
