#include "ui/win32/OleMessageFilter.h"

namespace tarnvale {

OleMessageFilter::~OleMessageFilter() {
    Revoke();
}

HRESULT OleMessageFilter::Register() {
    if (m_registered)
        return S_FALSE;
    const HRESULT result = ::CoRegisterMessageFilter(this, &m_previous);
    m_registered = SUCCEEDED(result);
    return result;
}

// Puts back whatever filter the thread had before.
void OleMessageFilter::Revoke() {
    if (!m_registered)
        return;
    IMessageFilter* ours = nullptr;
    ::CoRegisterMessageFilter(m_previous, &ours);
    if (ours)
        ours->Release();
    if (m_previous)
        m_previous->Release();
    m_previous = nullptr;
    m_registered = false;
}

STDMETHODIMP OleMessageFilter::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
        *object = static_cast<IMessageFilter*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(DWORD) OleMessageFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) {
    return SERVERCALL_ISHANDLED;
}

STDMETHODIMP_(DWORD) OleMessageFilter::RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) {
    // A plain rejection will not change; "retry later" is given a bounded while.
    if (rejectType == SERVERCALL_RETRYLATER && elapsedMs < kRetryLimitMs)
        return kRetryDelayMs;
    return static_cast<DWORD>(-1); // cancel the call
}

STDMETHODIMP_(DWORD) OleMessageFilter::MessagePending(HTASK, DWORD, DWORD) {
    return PENDINGMSG_WAITDEFPROCESS;
}

} // namespace tarnvale
