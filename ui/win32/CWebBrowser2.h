#pragma once

#include "ui/win32/BrowserEvents.h"
#include "ui/win32/NoticePanel.h"

#include <windows.h>

#include <exdisp.h>
#include <ole2.h>

namespace tarnvale {

class BrowserSite;

// The notice page inside the launcher's skin: the system's web browser control,
// hosted in place by a container of our own, in a child window that the launcher
// creates, navigates and moves.
//
// Where the control is missing, cannot be hosted, or reports that the page cannot
// be shown, the child window shows a plain panel of the skin with one short line
// of text instead (NoticePanelStyle); the browser's own error page never appears.
// While a page is on its way the panel shows only its fill; the browser replaces
// it as soon as the page arrives. The window works the same either way: it moves,
// lets clicks through to the window beneath it while it is a panel (so the skin
// can be dragged there), and ignores the right button.
//
// Threads: Create, Navigate and DestroyWindow belong to the thread that owns the
// parent window (the control is an apartment-threaded COM object and this class
// joins that thread to OLE for as long as the control lives). MoveWindow may be
// called from any thread: the control follows its window from that window's own
// thread. The launcher's message loop offers every message to PreTranslateMessage
// before it dispatches it.
class CWebBrowser2 final : private BrowserEventListener {
  public:
    enum class NoticeState {
        Loading,     // a page was asked for and has not arrived: the bare panel
        Showing,     // the browser shows the page
        Unavailable, // no control, or no page: the panel with its text
    };

    // What each step of hosting the control returned, in the order they run; a
    // step that was never reached keeps kNotRun.
    static constexpr HRESULT kNotRun = E_PENDING;
    struct HostingSteps {
        HRESULT oleInitialize = kNotRun;
        HRESULT createControl = kNotRun;
        HRESULT setClientSite = kNotRun;
        HRESULT initNew = kNotRun;
        HRESULT setHostNames = kNotRun;
        HRESULT setContainedObject = kNotRun;
        HRESULT inPlaceActivate = kNotRun;
        HRESULT queryInPlaceObject = kNotRun;
        HRESULT queryWebBrowser = kNotRun;
        HRESULT adviseEvents = kNotRun;
        HRESULT navigate = kNotRun; // the latest Navigate
    };

    // `control` is the class of the browser control; only tests pass another.
    explicit CWebBrowser2(REFCLSID control = CLSID_WebBrowser);
    ~CWebBrowser2();
    CWebBrowser2(const CWebBrowser2&) = delete;
    CWebBrowser2& operator=(const CWebBrowser2&) = delete;

    // Creates the child window (`style` gains WS_CHILD and WS_CLIPCHILDREN) at
    // `rect` in the parent's client coordinates, and hosts the control in it.
    // FALSE only when the window itself could not be created; a control that
    // cannot be hosted leaves the panel in its place and still returns TRUE.
    BOOL Create(LPCSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id);

    // Opens `url` (bytes in the system code page). Null optional arguments are
    // passed to the control as empty variants. Without a control it does nothing.
    void Navigate(LPCSTR url, VARIANT* flags = nullptr, VARIANT* targetFrameName = nullptr,
                  VARIANT* postData = nullptr, VARIANT* headers = nullptr);

    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);

    // TRUE when the message was meant for the notice area and is used up here:
    // the right button's messages, which would open the page's context menu, and
    // keys that the page takes for itself (Tab, its shortcuts) once it has focus.
    BOOL PreTranslateMessage(MSG* message);

    void DestroyWindow();

    // Colours and text of the panel; takes effect at once.
    void SetPanelStyle(const NoticePanelStyle& style);

    HWND GetSafeHwnd() const { return m_host; }
    NoticeState State() const { return m_state; }
    bool HasControl() const { return m_browser != nullptr; }
    // The window the control lives in (hidden unless Showing); null without one.
    HWND ControlHolder() const { return m_holder; }
    const HostingSteps& Steps() const { return m_steps; }
    // The status of the latest navigation error (an HRESULT or an HTTP status);
    // 0 when the latest navigation has reported none.
    long NavigateErrorStatus() const { return m_navigateStatus; }

  private:
    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleHostMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool HostControl();
    void CloseControl();
    void FitControl();
    void SetState(NoticeState state);
    void Paint(HDC dc);
    bool IsTopLevel(IDispatch* frame) const;
    bool IsInside(HWND window) const;

    // BrowserEventListener
    void OnNavigateError(IDispatch* frame, long status, bool& cancel) override;
    void OnNavigateComplete(IDispatch* frame) override;
    void OnDocumentComplete(IDispatch* frame) override;

    CLSID m_classId;
    HWND m_host = nullptr;   // the control's window as the launcher sees it; paints the panel
    HWND m_holder = nullptr; // inside it: the window the control lives in
    bool m_oleInitialized = false;
    BrowserSite* m_site = nullptr;
    BrowserEvents* m_events = nullptr;
    IOleObject* m_object = nullptr;
    IOleInPlaceObject* m_inPlace = nullptr;
    IWebBrowser2* m_browser = nullptr;
    NoticeState m_state = NoticeState::Unavailable;
    long m_navigateStatus = 0;
    NoticePanelStyle m_style;
    HostingSteps m_steps;
};

} // namespace tarnvale
