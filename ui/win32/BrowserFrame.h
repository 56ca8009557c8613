#pragma once

#include "ui/win32/ComObject.h"

#include <windows.h>

#include <ole2.h>

namespace tarnvale {

// The in-place frame that the embedded browser sees: our top-level window. The
// launcher has no menus, toolbars or status bar to share, so it only remembers
// the control's active object, through which keyboard messages reach the page.
class BrowserFrame final : private ComRefCount, public IOleInPlaceFrame {
  public:
    explicit BrowserFrame(HWND frameWindow) : m_window(frameWindow) {}
    BrowserFrame(const BrowserFrame&) = delete;
    BrowserFrame& operator=(const BrowserFrame&) = delete;

    void Detach();
    bool OfferKey(MSG* message);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT border) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU menu, LPOLEMENUGROUPWIDTHS widths) override;
    STDMETHODIMP SetMenu(HMENU menu, HOLEMENU oleMenu, HWND activeObject) override;
    STDMETHODIMP RemoveMenus(HMENU menu) override;
    STDMETHODIMP SetStatusText(LPCOLESTR text) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    STDMETHODIMP TranslateAccelerator(LPMSG message, WORD id) override;

  private:
    ~BrowserFrame() override;

    HWND m_window;
    IOleInPlaceActiveObject* m_active = nullptr;
};

} // namespace tarnvale
