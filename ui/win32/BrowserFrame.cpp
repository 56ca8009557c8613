#include "ui/win32/BrowserFrame.h"

namespace tarnvale {

BrowserFrame::~BrowserFrame() {
    Detach();
}

void BrowserFrame::Detach() {
    m_window = nullptr;
    ReleaseInterface(m_active);
}

bool BrowserFrame::OfferKey(MSG* message) {
    return m_active && m_active->TranslateAccelerator(message) == S_OK;
}

STDMETHODIMP BrowserFrame::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IOleInPlaceUIWindow ||
        riid == IID_IOleInPlaceFrame) {
        *object = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BrowserFrame::GetWindow(HWND* window) {
    return AnswerWindow(m_window, window);
}

STDMETHODIMP BrowserFrame::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

// The frame has no tool space to lend: the page keeps to the rectangle it got.
STDMETHODIMP BrowserFrame::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP BrowserFrame::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP BrowserFrame::SetBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP BrowserFrame::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    if (object)
        object->AddRef();
    ReleaseInterface(m_active);
    m_active = object;
    return S_OK;
}

STDMETHODIMP BrowserFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL;
}
STDMETHODIMP BrowserFrame::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}
STDMETHODIMP BrowserFrame::RemoveMenus(HMENU) {
    return E_NOTIMPL;
}
STDMETHODIMP BrowserFrame::SetStatusText(LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP BrowserFrame::EnableModeless(BOOL) {
    return S_OK;
}
STDMETHODIMP BrowserFrame::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

} // namespace tarnvale
