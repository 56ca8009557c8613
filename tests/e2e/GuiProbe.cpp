// A small Windows program that shows what the Wine GUI harness (wine-gui.sh) can
// see and do: a window titled with the launcher's name in code page 936, two
// buttons, a notice area, and a log of what reached it.
//
//   tarnvale_gui_probe LOGFILE [NOTICE_URL]
//
// The log gets one line per event: "acp N", "cjk-glyphs ok|missing", "notice
// unavailable|showing", "command ping", "right-button", "drag X1,Y1 X2,Y2"
// (left button pressed and released on the window), "key N", and "exit" when
// the Close button ends the program (exit code 0).
#include "tarnvale/settings.h"
#include "ui/win32/CWebBrowser2.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr COLORREF kBackground = RGB(200, 120, 40);
constexpr COLORREF kPanel = RGB(30, 60, 90);
constexpr UINT kPingId = 101;
constexpr UINT kCloseId = 102;
constexpr UINT kNoticeId = 1004;
// "宋体", the face the launcher draws its texts with, in code page 936.
constexpr char kSongFace[] = "\xcb\xce\xcc\xe5";

std::string g_logPath;
LPARAM g_pressedAt = 0;
HFONT g_font = nullptr;

void Log(const std::string& line) {
    if (FILE* file = std::fopen(g_logPath.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

std::string Point(LPARAM position) {
    return std::to_string(static_cast<short>(LOWORD(position))) + "," +
           std::to_string(static_cast<short>(HIWORD(position)));
}

// Whether the font that "宋体" maps to has glyphs for the launcher's name; without
// a CJK font in the prefix the title would draw as boxes.
bool HasCjkGlyphs(HWND window) {
    HDC dc = ::GetDC(window);
    HGDIOBJ old = ::SelectObject(dc, g_font);
    const wchar_t name[] = L"\u767B\u5F55\u5668"; // the three characters of the name
    WORD glyphs[3] = {};
    const DWORD count = ::GetGlyphIndicesW(dc, name, 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return count == 3 && glyphs[0] != 0xFFFF && glyphs[1] != 0xFFFF && glyphs[2] != 0xFFFF;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client;
        ::GetClientRect(window, &client);
        HBRUSH brush = ::CreateSolidBrush(kBackground);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        ::DeleteObject(brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        HGDIOBJ old = ::SelectObject(dc, g_font);
        ::SetBkMode(dc, TRANSPARENT);
        ::TextOutA(dc, 280, 30, tarnvale::settings::kLauncherName,
                   static_cast<int>(sizeof tarnvale::settings::kLauncherName - 1));
        ::SelectObject(dc, old);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kPingId)
            Log("command ping");
        else if (LOWORD(wParam) == kCloseId)
            ::DestroyWindow(window);
        return 0;
    case WM_RBUTTONDOWN:
        Log("right-button");
        return 0;
    case WM_LBUTTONDOWN:
        g_pressedAt = lParam;
        ::SetCapture(window);
        return 0;
    case WM_LBUTTONUP:
        if (::GetCapture() == window) {
            ::ReleaseCapture();
            Log("drag " + Point(g_pressedAt) + " " + Point(lParam));
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

const char* StateName(tarnvale::CWebBrowser2::NoticeState state) {
    switch (state) {
    case tarnvale::CWebBrowser2::NoticeState::Loading:
        return "loading";
    case tarnvale::CWebBrowser2::NoticeState::Showing:
        return "showing";
    default:
        return "unavailable";
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc < 2)
        return 2;
    g_logPath = __argv[1];
    ::OleInitialize(nullptr);
    Log("acp " + std::to_string(::GetACP()));

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = "TarnvaleGuiProbe";
    ::RegisterClassA(&windowClass);
    g_font = ::CreateFontA(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, 0, 0, 0, 0,
                           kSongFace);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND window = ::CreateWindowExA(WS_EX_APPWINDOW, windowClass.lpszClassName,
                                    tarnvale::settings::kLauncherName, WS_POPUP | WS_CLIPCHILDREN,
                                    x, y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 3;
    ::CreateWindowExA(0, "BUTTON", "Ping", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 100, 30,
                      window, reinterpret_cast<HMENU>(kPingId), instance, nullptr);
    ::CreateWindowExA(0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 140, 20, 100, 30,
                      window, reinterpret_cast<HMENU>(kCloseId), instance, nullptr);
    Log(HasCjkGlyphs(window) ? "cjk-glyphs ok" : "cjk-glyphs missing");

    tarnvale::CWebBrowser2 browser;
    tarnvale::NoticePanelStyle style;
    style.fill = kPanel;
    style.textColour = RGB(250, 240, 200);
    browser.SetPanelStyle(style);
    browser.Create("notice", WS_CHILD | WS_VISIBLE | WS_TABSTOP, RECT{20, 80, 380, 280}, window,
                   kNoticeId);
    if (__argc >= 3)
        browser.Navigate(__argv[2]);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);

    tarnvale::CWebBrowser2::NoticeState reported = tarnvale::CWebBrowser2::NoticeState::Loading;
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Keys go to whichever control has the focus; the log wants them all.
        if (message.message == WM_KEYDOWN)
            Log("key " + std::to_string(message.wParam));
        if (!browser.PreTranslateMessage(&message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        if (browser.State() != reported) {
            reported = browser.State();
            Log(std::string("notice ") + StateName(reported));
        }
    }
    browser.DestroyWindow();
    ::DeleteObject(g_font);
    ::OleUninitialize();
    Log("exit");
    return 0;
}
