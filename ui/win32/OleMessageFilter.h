#pragma once

#include <windows.h>

#include <ole2.h>

namespace tarnvale {

// The OLE message filter of the window thread. While that thread waits on a call
// into another apartment (the browser control reaches out to other COM servers),
// COM asks this filter what to do, and the system's own answer would be its
// "server busy" dialog over the launcher. This filter never shows a dialog:
// incoming calls are always taken (the launcher is never busy), a call that the
// other side rejects as busy is retried every 100 ms for up to 10 s and then
// given up, and messages that arrive meanwhile get COM's default treatment
// (paints and activation go through; input waits).
//
// Register() on the window thread after OleInitialize, Revoke() on the same
// thread before OleUninitialize.
class OleMessageFilter final : public IMessageFilter {
  public:
    static constexpr DWORD kRetryDelayMs = 100;
    static constexpr DWORD kRetryLimitMs = 10000;

    OleMessageFilter() = default;
    OleMessageFilter(const OleMessageFilter&) = delete;
    OleMessageFilter& operator=(const OleMessageFilter&) = delete;
    ~OleMessageFilter();

    HRESULT Register();
    void Revoke();

    // IUnknown: the object is owned by its creator, never freed by COM.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IMessageFilter
    STDMETHODIMP_(DWORD)
    HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                       LPINTERFACEINFO info) override;
    STDMETHODIMP_(DWORD)
    RetryRejectedCall(HTASK callee, DWORD elapsedMs, DWORD rejectType) override;
    STDMETHODIMP_(DWORD) MessagePending(HTASK callee, DWORD elapsedMs, DWORD pendingType) override;

  private:
    bool m_registered = false;
    IMessageFilter* m_previous = nullptr;
};

} // namespace tarnvale
