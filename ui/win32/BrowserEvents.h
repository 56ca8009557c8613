#pragma once

#include "ui/win32/ComObject.h"

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

namespace tarnvale {

// What the browser reports about its navigations. `frame` is the browser object
// the event is about: the control itself for the page, another object for a frame
// inside it. Called on the thread that hosts the control.
class BrowserEventListener {
  public:
    virtual void OnNavigateError(IDispatch* frame, long status, bool& cancel) = 0;
    virtual void OnNavigateComplete(IDispatch* frame) = 0;
    virtual void OnDocumentComplete(IDispatch* frame) = 0;

  protected:
    ~BrowserEventListener() = default;
};

// The browser's event sink: an IDispatch that receives the browser's outgoing
// events through its connection point and forwards the three the launcher needs.
// Reference counted like any COM object; Disconnect() unadvises and stops the
// forwarding, so a late event never reaches a listener that is gone.
class BrowserEvents final : private ComRefCount, public IDispatch {
  public:
    explicit BrowserEvents(BrowserEventListener* listener) : m_listener(listener) {}
    BrowserEvents(const BrowserEvents&) = delete;
    BrowserEvents& operator=(const BrowserEvents&) = delete;

    // Advises the control's event connection point.
    HRESULT Connect(IUnknown* control);
    void Disconnect();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  private:
    ~BrowserEvents() override = default;

    BrowserEventListener* m_listener;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = 0;
};

} // namespace tarnvale
