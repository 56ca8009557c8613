#include "ui/win32/CWebBrowser2.h"

#include "ui/win32/BrowserSite.h"

#include <string>

namespace tarnvale {
namespace {

constexpr char kHostClass[] = "TarnvaleNoticeHost";
constexpr char kHolderClass[] = "TarnvaleNoticeHolder";

bool RegisterWindowClasses(HINSTANCE instance, WNDPROC hostProc) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExA(instance, kHostClass, &existing))
        return true;
    WNDCLASSEXA host{};
    host.cbSize = sizeof host;
    host.lpfnWndProc = hostProc;
    host.hInstance = instance;
    host.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    host.lpszClassName = kHostClass;
    // The holder is covered by the control; it needs no painting of its own.
    WNDCLASSEXA holder = host;
    holder.lpfnWndProc = ::DefWindowProcA;
    holder.lpszClassName = kHolderClass;
    return ::RegisterClassExA(&host) && ::RegisterClassExA(&holder);
}

// The control takes the text as a BSTR; ours is in the system code page.
BSTR ToBstr(LPCSTR text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return nullptr;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    return ::SysAllocString(wide.c_str());
}

} // namespace

CWebBrowser2::CWebBrowser2(REFCLSID control) : m_classId(control) {}

CWebBrowser2::~CWebBrowser2() {
    DestroyWindow();
    CloseControl();
}

BOOL CWebBrowser2::Create(LPCSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if (m_host || !parent || !RegisterWindowClasses(instance, HostProc))
        return FALSE;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    style = (style | WS_CHILD | WS_CLIPCHILDREN) & ~WS_POPUP;
    m_host = ::CreateWindowExA(0, kHostClass, windowName ? windowName : "", style, rect.left,
                               rect.top, width, height, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
    if (!m_host)
        return FALSE;
    m_holder = ::CreateWindowExA(0, kHolderClass, "", WS_CHILD | WS_CLIPCHILDREN, 0, 0, width,
                                 height, m_host, nullptr, instance, nullptr);
    if (m_holder && HostControl()) {
        SetState(NoticeState::Loading);
    } else {
        CloseControl();
        SetState(NoticeState::Unavailable);
    }
    return TRUE;
}

// Each step is the one the OLE container protocol asks for; the first that fails
// ends the hosting and leaves the panel in the control's place.
bool CWebBrowser2::HostControl() {
    m_steps.oleInitialize = ::OleInitialize(nullptr);
    if (FAILED(m_steps.oleInitialize))
        return false;
    m_oleInitialized = true;

    m_steps.createControl = ::CoCreateInstance(m_classId, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IOleObject, reinterpret_cast<void**>(&m_object));
    if (FAILED(m_steps.createControl)) {
        m_object = nullptr;
        return false;
    }
    m_site = new BrowserSite(m_holder);
    m_steps.setClientSite = m_object->SetClientSite(m_site);
    if (FAILED(m_steps.setClientSite))
        return false;

    // A fresh control without a stored state.
    IPersistStreamInit* persist = nullptr;
    m_steps.initNew =
        m_object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
    if (SUCCEEDED(m_steps.initNew)) {
        m_steps.initNew = persist->InitNew();
        persist->Release();
    }
    if (FAILED(m_steps.initNew))
        return false;

    m_steps.setHostNames = m_object->SetHostNames(L"Tarnvale", nullptr);
    if (FAILED(m_steps.setHostNames))
        return false;
    m_steps.setContainedObject = ::OleSetContainedObject(m_object, TRUE);
    if (FAILED(m_steps.setContainedObject))
        return false;

    RECT area{};
    ::GetClientRect(m_holder, &area);
    m_steps.inPlaceActivate =
        m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site, 0, m_holder, &area);
    if (FAILED(m_steps.inPlaceActivate))
        return false;
    m_steps.queryInPlaceObject =
        m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace));
    if (FAILED(m_steps.queryInPlaceObject)) {
        m_inPlace = nullptr;
        return false;
    }
    m_steps.queryWebBrowser =
        m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    if (FAILED(m_steps.queryWebBrowser)) {
        m_browser = nullptr;
        return false;
    }

    // Without the events the panel could not stand in for an error page, so a
    // control that cannot report them is not used.
    m_events = new BrowserEvents(this);
    m_steps.adviseEvents = m_events->Connect(m_object);
    if (FAILED(m_steps.adviseEvents))
        return false;

    // No script-error or security dialogs over the launcher, and a file dropped
    // on the notice area does not replace the page. Controls that lack either
    // setting still work, so their answers do not matter.
    m_browser->put_Silent(VARIANT_TRUE);
    m_browser->put_RegisterAsDropTarget(VARIANT_FALSE);
    return true;
}

// Undoes whatever HostControl got through, in reverse order. Safe to call again.
void CWebBrowser2::CloseControl() {
    if (m_events)
        m_events->Disconnect();
    ReleaseInterface(m_events);
    ReleaseInterface(m_browser);
    if (m_inPlace)
        m_inPlace->InPlaceDeactivate();
    ReleaseInterface(m_inPlace);
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    ReleaseInterface(m_object);
    if (m_site)
        m_site->Detach();
    ReleaseInterface(m_site);
    if (m_oleInitialized) {
        ::OleUninitialize();
        m_oleInitialized = false;
    }
}

void CWebBrowser2::Navigate(LPCSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                            VARIANT* headers) {
    if (!m_browser || !url)
        return;
    VARIANT empty;
    ::VariantInit(&empty);
    BSTR target = ToBstr(url);
    // The error of this navigation may be reported before Navigate returns.
    m_navigateStatus = 0;
    SetState(NoticeState::Loading);
    m_steps.navigate =
        target ? m_browser->Navigate(target, flags ? flags : &empty,
                                     targetFrameName ? targetFrameName : &empty,
                                     postData ? postData : &empty, headers ? headers : &empty)
               : E_OUTOFMEMORY;
    ::SysFreeString(target);
    if (FAILED(m_steps.navigate)) {
        m_navigateStatus = m_steps.navigate;
        SetState(NoticeState::Unavailable);
    }
}

BOOL CWebBrowser2::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    return m_host ? ::MoveWindow(m_host, x, y, width, height, repaint) : FALSE;
}

BOOL CWebBrowser2::PreTranslateMessage(MSG* message) {
    if (!message || !IsInside(message->hwnd))
        return FALSE;
    switch (message->message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return TRUE;
    default:
        break;
    }
    if (message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST && m_site &&
        m_state == NoticeState::Showing)
        return m_site->OfferKey(message) ? TRUE : FALSE;
    return FALSE;
}

void CWebBrowser2::DestroyWindow() {
    if (m_host)
        ::DestroyWindow(m_host); // WM_DESTROY closes the control first
}

void CWebBrowser2::SetPanelStyle(const NoticePanelStyle& style) {
    m_style = style;
    if (m_host)
        ::InvalidateRect(m_host, nullptr, TRUE);
}

void CWebBrowser2::SetState(NoticeState state) {
    m_state = state;
    if (m_holder)
        ::ShowWindow(m_holder, state == NoticeState::Showing ? SW_SHOWNA : SW_HIDE);
    if (m_host)
        ::InvalidateRect(m_host, nullptr, TRUE);
}

// The holder fills the host, and the control fills the holder.
void CWebBrowser2::FitControl() {
    RECT area{};
    ::GetClientRect(m_host, &area);
    if (m_holder)
        ::MoveWindow(m_holder, 0, 0, area.right, area.bottom, TRUE);
    if (m_inPlace)
        m_inPlace->SetObjectRects(&area, &area);
}

void CWebBrowser2::Paint(HDC dc) {
    RECT area{};
    ::GetClientRect(m_host, &area);
    PaintNoticePanel(dc, area, m_style, m_state == NoticeState::Unavailable);
}

bool CWebBrowser2::IsTopLevel(IDispatch* frame) const {
    // An event that does not say which browser it is about is taken as the page's.
    if (!frame || !m_browser)
        return true;
    IUnknown* mine = nullptr;
    IUnknown* theirs = nullptr;
    m_browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&mine));
    frame->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&theirs));
    const bool same = mine && mine == theirs;
    if (mine)
        mine->Release();
    if (theirs)
        theirs->Release();
    return same;
}

bool CWebBrowser2::IsInside(HWND window) const {
    return m_host && window && (window == m_host || ::IsChild(m_host, window));
}

// A frame inside the page that fails leaves the page alone; the page itself
// failing puts the panel in its place and stops the browser's error page.
void CWebBrowser2::OnNavigateError(IDispatch* frame, long status, bool& cancel) {
    if (!IsTopLevel(frame))
        return;
    cancel = true;
    m_navigateStatus = status ? status : E_FAIL;
    SetState(NoticeState::Unavailable);
}

// The panel gives way once the page has arrived, but not to whatever the
// browser still reports after an error (its own error page, if it ignored the
// cancel): only a new Navigate clears an error.
void CWebBrowser2::OnNavigateComplete(IDispatch* frame) {
    if (m_state == NoticeState::Loading && IsTopLevel(frame))
        SetState(NoticeState::Showing);
}

void CWebBrowser2::OnDocumentComplete(IDispatch* frame) {
    OnNavigateComplete(frame);
}

LRESULT CALLBACK CWebBrowser2::HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<CWebBrowser2*>(create->lpCreateParams)->m_host = window;
    }
    auto* self = reinterpret_cast<CWebBrowser2*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->m_host = nullptr;
        self->m_holder = nullptr;
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    return self->HandleHostMessage(message, wParam, lParam);
}

LRESULT CWebBrowser2::HandleHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST:
        // Where the host itself is hit, it is the panel: part of the skin, so the
        // click belongs to the window beneath. The page, when shown, covers it.
        return HTTRANSPARENT;
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(m_host, &paint);
        Paint(dc);
        ::EndPaint(m_host, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SIZE:
        FitControl();
        return 0;
    case WM_DESTROY:
        // The control must leave while its windows still exist.
        CloseControl();
        return 0;
    default:
        return ::DefWindowProcA(m_host, message, wParam, lParam);
    }
}

} // namespace tarnvale
