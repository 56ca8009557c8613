#include "ui/win32/BrowserEvents.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

namespace tarnvale {
namespace {

// Event arguments arrive last first: the event's first argument is the last
// element of rgvarg. Each reader checks the variant's type before it looks
// inside, so a control that passes something unexpected is ignored, not trusted.
const VARIANT* Argument(const DISPPARAMS& params, UINT position) {
    if (!params.rgvarg || position >= params.cArgs)
        return nullptr;
    return &params.rgvarg[params.cArgs - 1 - position];
}

IDispatch* DispatchArgument(const DISPPARAMS& params, UINT position) {
    const VARIANT* value = Argument(params, position);
    if (!value)
        return nullptr;
    if (value->vt == VT_DISPATCH)
        return value->pdispVal;
    if (value->vt == (VT_DISPATCH | VT_BYREF) && value->ppdispVal)
        return *value->ppdispVal;
    return nullptr;
}

// The status is a VARIANT passed by reference that holds a 32-bit code: an
// HRESULT, or the HTTP status of a server's error answer.
long StatusArgument(const DISPPARAMS& params, UINT position) {
    const VARIANT* value = Argument(params, position);
    if (value && value->vt == (VT_VARIANT | VT_BYREF) && value->pvarVal)
        value = value->pvarVal;
    if (value && (value->vt == VT_I4 || value->vt == VT_UI4 || value->vt == VT_INT))
        return value->lVal;
    if (value && value->vt == (VT_I4 | VT_BYREF) && value->plVal)
        return *value->plVal;
    return E_FAIL; // an error without a readable status is still an error
}

VARIANT_BOOL* CancelArgument(const DISPPARAMS& params, UINT position) {
    const VARIANT* value = Argument(params, position);
    if (value && value->vt == (VT_BOOL | VT_BYREF))
        return value->pboolVal;
    return nullptr;
}

} // namespace

HRESULT BrowserEvents::Connect(IUnknown* control) {
    if (!control || m_point)
        return E_UNEXPECTED;
    IConnectionPointContainer* container = nullptr;
    HRESULT result = control->QueryInterface(IID_IConnectionPointContainer,
                                             reinterpret_cast<void**>(&container));
    if (FAILED(result))
        return result;
    IConnectionPoint* point = nullptr;
    result = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    container->Release();
    if (FAILED(result))
        return result;
    result = point->Advise(static_cast<IDispatch*>(this), &m_cookie);
    if (FAILED(result)) {
        point->Release();
        return result;
    }
    m_point = point;
    return S_OK;
}

void BrowserEvents::Disconnect() {
    m_listener = nullptr;
    if (m_point)
        m_point->Unadvise(m_cookie);
    ReleaseInterface(m_point);
}

STDMETHODIMP BrowserEvents::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// The sink is called only by dispatch id; it has no type information or names.
STDMETHODIMP BrowserEvents::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BrowserEvents::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP BrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    if (!m_listener || !params)
        return S_OK;
    // The listener may close the browser from inside an event; the sink must
    // outlive its own call.
    AddRef();
    switch (id) {
    case DISPID_NAVIGATEERROR: { // (frame, URL, target frame name, status, cancel)
        bool cancel = false;
        m_listener->OnNavigateError(DispatchArgument(*params, 0), StatusArgument(*params, 3),
                                    cancel);
        if (VARIANT_BOOL* answer = CancelArgument(*params, 4); answer && cancel)
            *answer = VARIANT_TRUE;
        break;
    }
    case DISPID_NAVIGATECOMPLETE2: // (frame, URL)
        m_listener->OnNavigateComplete(DispatchArgument(*params, 0));
        break;
    case DISPID_DOCUMENTCOMPLETE: // (frame, URL)
        m_listener->OnDocumentComplete(DispatchArgument(*params, 0));
        break;
    default:
        break;
    }
    Release();
    return S_OK;
}

} // namespace tarnvale
