#pragma once

#include "platform/HttpDownload.h"
#include "platform/MillisecondClock.h"
#include "platform/TransferLimits.h"

#include <urlmon.h>
#include <windows.h>

#include <atomic>

namespace tarnvale::platform {

// The IBindStatusCallback that URLDownloadToFileA reports to, forwarding the
// progress of the data to a DownloadProgress (the launcher window implements that
// C++ interface rather than COM). It also takes the HTTP status from
// IHttpNegotiate::OnResponse, because URLDownloadToFileA reports success for an
// error page such as a 404 and the caller must not take that page for the file.
//
// It lives on the caller's stack for one synchronous download: the reference count
// is kept for COM's sake but never frees the object.
class BindStatusForwarder final : public IBindStatusCallback, public IHttpNegotiate {
  public:
    explicit BindStatusForwarder(DownloadProgress* target) : m_target(target) {}
    BindStatusForwarder(const BindStatusForwarder&) = delete;
    BindStatusForwarder& operator=(const BindStatusForwarder&) = delete;
    virtual ~BindStatusForwarder() = default;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IBindStatusCallback
    STDMETHODIMP OnStartBinding(DWORD reserved, IBinding* binding) override;
    STDMETHODIMP GetPriority(LONG* priority) override;
    STDMETHODIMP OnLowResource(DWORD reserved) override;
    STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                            LPCWSTR statusText) override;
    STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR error) override;
    STDMETHODIMP GetBindInfo(DWORD* bindFlags, BINDINFO* bindInfo) override;
    STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                 STGMEDIUM* medium) override;
    STDMETHODIMP OnObjectAvailable(REFIID riid, IUnknown* object) override;

    // IHttpNegotiate
    STDMETHODIMP BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved,
                                      LPWSTR* additionalHeaders) override;
    STDMETHODIMP OnResponse(DWORD responseCode, LPCWSTR responseHeaders, LPCWSTR requestHeaders,
                            LPWSTR* additionalHeaders) override;

    // The length the server announced (0 if none), the HTTP status (0 if none came),
    // and whether the receiver asked to stop.
    ULONG AnnouncedLength() const { return m_announced; }
    DWORD ResponseCode() const { return m_responseCode; }
    bool Aborted() const { return m_aborted; }
    // Whether the download was given up because it stalled (TransferLimits.h).
    bool Stalled() const { return m_stalled; }

  private:
    DownloadProgress* m_target;
    // The URL moniker reports progress as data arrives; a trickle is caught
    // there. Silence is left to the system's receive time-out.
    StallWatch m_stall{CurrentTransferLimits(), TimeGetTime()};
    bool m_stalled = false;
    std::atomic<ULONG> m_refs{1};
    ULONG m_announced = 0;
    DWORD m_responseCode = 0;
    bool m_aborted = false;
};

} // namespace tarnvale::platform
