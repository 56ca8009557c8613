#include "ui/win32/BrowserSite.h"

#include "ui/win32/BrowserFrame.h"

namespace tarnvale {

BrowserSite::BrowserSite(HWND window)
    : m_window(window), m_frame(new BrowserFrame(::GetAncestor(window, GA_ROOT))) {}

BrowserSite::~BrowserSite() {
    m_frame->Detach();
    m_frame->Release();
}

void BrowserSite::Detach() {
    m_window = nullptr;
    m_frame->Detach();
}

bool BrowserSite::OfferKey(MSG* message) {
    return m_frame->OfferKey(message);
}

STDMETHODIMP BrowserSite::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *object = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IDocHostUIHandler)
        *object = static_cast<IDocHostUIHandler*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

// --- IOleClientSite: the control is never saved and has no container document.

STDMETHODIMP BrowserSite::SaveObject() {
    return E_NOTIMPL;
}

STDMETHODIMP BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserSite::GetContainer(IOleContainer** container) {
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BrowserSite::ShowObject() {
    return S_OK;
}
STDMETHODIMP BrowserSite::OnShowWindow(BOOL) {
    return S_OK;
}
STDMETHODIMP BrowserSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

// --- IOleWindow and IOleInPlaceSite: the control lives in place in m_window and
// fills it; the owner resizes it with SetObjectRects when the window changes.

STDMETHODIMP BrowserSite::GetWindow(HWND* window) {
    return AnswerWindow(m_window, window);
}

STDMETHODIMP BrowserSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::CanInPlaceActivate() {
    return m_window ? S_OK : S_FALSE;
}
STDMETHODIMP BrowserSite::OnInPlaceActivate() {
    return S_OK;
}
STDMETHODIMP BrowserSite::OnUIActivate() {
    return S_OK;
}

STDMETHODIMP BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                           LPRECT position, LPRECT clip,
                                           LPOLEINPLACEFRAMEINFO frameInfo) {
    if (!frame || !document || !position || !clip || !frameInfo)
        return E_POINTER;
    m_frame->AddRef();
    *frame = m_frame;
    *document = nullptr; // no document window between the control and the frame
    RECT area{};
    if (m_window)
        ::GetClientRect(m_window, &area);
    *position = area;
    *clip = area;
    // The caller sets cb; the rest is ours to fill.
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = m_window ? ::GetAncestor(m_window, GA_ROOT) : nullptr;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP BrowserSite::Scroll(SIZE) {
    return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::OnUIDeactivate(BOOL) {
    return S_OK;
}
STDMETHODIMP BrowserSite::OnInPlaceDeactivate() {
    return S_OK;
}
STDMETHODIMP BrowserSite::DiscardUndoState() {
    return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::DeactivateAndUndo() {
    return E_NOTIMPL;
}
STDMETHODIMP BrowserSite::OnPosRectChange(LPCRECT) {
    return S_OK;
}

// --- IDocHostUIHandler: the page is part of the launcher's skin, not a browser.

// S_OK without showing anything: the page's context menu never opens, whichever
// way it is asked for (right button, menu key, Shift+F10).
STDMETHODIMP BrowserSite::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_OK;
}

STDMETHODIMP BrowserSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info || info->cbSize < sizeof(DOCHOSTUIINFO))
        return E_INVALIDARG;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}

// S_OK: the host has shown its own user interface (none), so the document adds
// no menus or toolbars of its own.
STDMETHODIMP BrowserSite::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                 IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_OK;
}

STDMETHODIMP BrowserSite::HideUI() {
    return S_OK;
}
STDMETHODIMP BrowserSite::UpdateUI() {
    return S_OK;
}
STDMETHODIMP BrowserSite::OnDocWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP BrowserSite::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP BrowserSite::EnableModeless(BOOL) {
    return S_OK;
}
STDMETHODIMP BrowserSite::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

STDMETHODIMP BrowserSite::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return S_FALSE;
}

STDMETHODIMP BrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key)
        *key = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserSite::GetDropTarget(IDropTarget*, IDropTarget** replacement) {
    if (replacement)
        *replacement = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserSite::GetExternal(IDispatch** external) {
    if (external)
        *external = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
    if (translated)
        *translated = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserSite::FilterDataObject(IDataObject*, IDataObject** replacement) {
    if (replacement)
        *replacement = nullptr;
    return S_FALSE;
}

} // namespace tarnvale
