// HTTP downloads with URLDownloadToFileA.
#include "platform/HttpDownload.h"
#include "platform/FileOps.h"

#include "platform/win32/BindStatusForwarder.h"

#include <cstdio>

namespace tarnvale::platform {

STDMETHODIMP BindStatusForwarder::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
        *object = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(riid, IID_IHttpNegotiate)) {
        *object = static_cast<IHttpNegotiate*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) BindStatusForwarder::AddRef() {
    return ++m_refs;
}

STDMETHODIMP_(ULONG) BindStatusForwarder::Release() {
    return --m_refs;
}

STDMETHODIMP BindStatusForwarder::OnStartBinding(DWORD, IBinding*) {
    if (m_target)
        m_target->OnDownloadStart();
    return S_OK;
}

STDMETHODIMP BindStatusForwarder::GetPriority(LONG*) {
    return E_NOTIMPL;
}

STDMETHODIMP BindStatusForwarder::OnLowResource(DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP BindStatusForwarder::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                             LPCWSTR) {
    // Only the data notifications count bytes; the others (finding the host,
    // connecting, sending the request, the cache file name) carry no byte counts.
    if (statusCode != BINDSTATUS_BEGINDOWNLOADDATA && statusCode != BINDSTATUS_DOWNLOADINGDATA &&
        statusCode != BINDSTATUS_ENDDOWNLOADDATA)
        return S_OK;
    if (progressMax != 0)
        m_announced = progressMax;
    if (!m_stall.Progress(progress, TimeGetTime())) {
        m_stalled = true;
        m_aborted = true;
        return E_ABORT;
    }
    if (m_target && !m_target->OnDownloadProgress(progress, progressMax)) {
        m_aborted = true;
        return E_ABORT;
    }
    return S_OK;
}

STDMETHODIMP BindStatusForwarder::OnStopBinding(HRESULT, LPCWSTR) {
    return E_NOTIMPL;
}

STDMETHODIMP BindStatusForwarder::GetBindInfo(DWORD*, BINDINFO*) {
    return E_NOTIMPL;
}

STDMETHODIMP BindStatusForwarder::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

STDMETHODIMP BindStatusForwarder::OnObjectAvailable(REFIID, IUnknown*) {
    return E_NOTIMPL;
}

STDMETHODIMP BindStatusForwarder::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                       LPWSTR* additionalHeaders) {
    if (additionalHeaders)
        *additionalHeaders = nullptr;
    return S_OK;
}

STDMETHODIMP BindStatusForwarder::OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR,
                                             LPWSTR* additionalHeaders) {
    if (additionalHeaders)
        *additionalHeaders = nullptr;
    m_responseCode = responseCode;
    return S_OK;
}

namespace {

bool Fail(DownloadError* error, long code, std::string text) {
    if (error) {
        error->code = code;
        error->text = std::move(text);
    }
    return false;
}

bool FileSize(const std::string& path, ULONGLONG& size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

// Checks what URLDownloadToFileA called a success and puts the file in place.
bool Finish(const BindStatusForwarder& callback, const std::string& temp,
            const std::string& localPath, DownloadError* error) {
    // A final answer outside 2xx (a redirect with nowhere to go, say) is not the
    // file; 0 is a download that had no HTTP answer to report.
    const DWORD status = callback.ResponseCode();
    if (status != 0 && (status < 200 || status >= 300)) {
        char text[64];
        std::snprintf(text, sizeof text, "the server answered with status %lu",
                      static_cast<unsigned long>(status));
        return Fail(error, static_cast<long>(status), text);
    }
    ULONGLONG size = 0;
    if (!FileSize(temp, size))
        return Fail(error, static_cast<long>(HRESULT_FROM_WIN32(::GetLastError())),
                    "the downloaded file is missing");
    if (callback.AnnouncedLength() != 0 && size < callback.AnnouncedLength())
        return Fail(error, static_cast<long>(INET_E_DOWNLOAD_FAILURE),
                    "the server sent fewer bytes than it announced");
    if (!::MoveFileExA(temp.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        return Fail(error, static_cast<long>(HRESULT_FROM_WIN32(::GetLastError())),
                    "the downloaded file could not be put in place");
    return true;
}

} // namespace

bool DownloadUrlToFile(const std::string& url, const std::string& localPath,
                       DownloadProgress* progress, DownloadError* error) {
    // URL monikers need COM on the calling thread (the HTTP road's own worker).
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string temp = PartialName(localPath);
    ::DeleteFileA(temp.c_str());
    BindStatusForwarder callback(progress);
    HRESULT result = ::URLDownloadToFileA(nullptr, url.c_str(), temp.c_str(), 0, &callback);
    bool ok;
    // Some URL moniker implementations finish the download even though the
    // receiver asked to stop; it must fail all the same.
    if (SUCCEEDED(result) && callback.Aborted())
        result = E_ABORT;
    if (FAILED(result)) {
        char text[96];
        std::snprintf(text, sizeof text, "%s (HRESULT 0x%08lX)",
                      callback.Stalled()   ? "the transfer stalled below the minimum speed"
                      : callback.Aborted() ? "aborted by the progress receiver"
                                           : "URLDownloadToFile failed",
                      static_cast<unsigned long>(result));
        ok = Fail(error, static_cast<long>(result), text);
    } else {
        ok = Finish(callback, temp, localPath, error);
    }
    if (!ok)
        ::DeleteFileA(temp.c_str());
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return ok;
}

} // namespace tarnvale::platform
