#include "UiTestSupport.h"

#include "ui/win32/Dialog.h"
#include "ui/win32/OwnerDrawButton.h"

namespace tarnvale::ui::test {

Surface::Surface(int width, int height, COLORREF fill)
    : m_width(width), m_height(height), m_dc(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_previous = ::SelectObject(m_dc, m_bitmap);
    Fill(fill);
}

Surface::~Surface() {
    ::SelectObject(m_dc, m_previous);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
}

void Surface::Fill(COLORREF colour) {
    HBRUSH brush = ::CreateSolidBrush(colour);
    const RECT all{0, 0, m_width, m_height};
    ::FillRect(m_dc, &all, brush);
    ::DeleteObject(brush);
}

int Surface::Count(COLORREF colour, const RECT& area) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += At(x, y) == colour;
    return count;
}

namespace {
constexpr char kParentClass[] = "TarnvaleUiTestParent";
}

ParentWindow::ParentWindow(int width, int height) {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kParentClass;
        return ::RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
    m_window =
        ::CreateWindowExA(0, kParentClass, "toolkit test", WS_POPUP | WS_VISIBLE, 0, 0, width,
                          height, nullptr, nullptr, ::GetModuleHandleA(nullptr), this);
    PumpMessages();
}

ParentWindow::~ParentWindow() {
    ::DestroyWindow(m_window);
}

LRESULT CALLBACK ParentWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ParentWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_DRAWITEM:
        if (RouteDrawItem(lParam))
            return TRUE;
        break;
    case WM_GETFONT:
        return self ? reinterpret_cast<LRESULT>(self->m_font) : 0;
    case WM_ERASEBKGND:
        if (self)
            ++self->erasures;
        break;
    case WM_PAINT:
        if (self)
            ++self->paints;
        break;
    default:
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

HFONT CrispFont(int height, int weight) {
    return ::CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                         NONANTIALIASED_QUALITY, 0, "Tahoma");
}

} // namespace tarnvale::ui::test
