#pragma once

#include "platform/HttpResume.h"

#include <cstdint>
#include <string>

// Downloading one URL to a local file, for the HTTP update road. On Windows it is
// URLDownloadToFileA with an IBindStatusCallback that forwards to a
// DownloadProgress; on POSIX it is libcurl. URLs are "http://host[:port]/path".
namespace tarnvale::platform {

// Receives the progress of one download, on the thread that called
// DownloadUrlToFile.
class DownloadProgress {
  public:
    virtual ~DownloadProgress() = default;
    // The download is about to start (IBindStatusCallback::OnStartBinding).
    virtual void OnDownloadStart() {}
    // Bytes so far, and the total the server announced or 0 when it sent no length.
    // Return false to abort the download, which then fails.
    virtual bool OnDownloadProgress(std::uint64_t done, std::uint64_t total) = 0;
    // DownloadUrlResuming only. The server continues a partial copy: `from`
    // bytes were there before, of `total`.
    virtual void OnDownloadResumed(std::uint64_t /*from*/, std::uint64_t /*total*/) {}
    // DownloadUrlResuming only. The server sends a whole copy (`copy`); the
    // partial file was emptied and takes its first bytes from now on. Called
    // before any of them is written, so that whoever keeps the partial for a
    // later try can record which copy it belongs to.
    virtual void OnNewCopy(const HttpValidator& /*copy*/) {}
};

struct DownloadError {
    // HRESULT of URLDownloadToFileA, or the HTTP status (e.g. 404) when the server
    // refused the request, on Windows; a CURLcode on POSIX.
    long code = 0;
    std::string text;
};

// Fetches url into localPath. Success only when the whole body has arrived with a
// success status: an HTTP error status, a body shorter than its announced length, a
// broken connection or an abort from the progress receiver all fail. The bytes go
// to PartialName(localPath) (FileOps.h), which is renamed to localPath on success and deleted on
// failure, so a failed download never leaves a partial file under the final name
// (an older file there is kept). progress may be null.
bool DownloadUrlToFile(const std::string& url, const std::string& localPath,
                       DownloadProgress* progress, DownloadError* error = nullptr);

// Fetches url into `partialPath`, going on after the bytes it already holds
// when they are the start of the copy `partial` describes: the request asks for
// the rest (Range, with If-Range naming the copy). An answer with the whole file
// (200: the file changed, or the server has no ranges) starts the partial again
// from its first byte; a range that does not continue it makes a second request
// for the whole file. Progress counts the bytes that were there already. True
// only when the partial holds the whole file; after a failure it keeps what
// arrived, for the next try. The whole-file call of DownloadUrlToFile cannot
// do this, so on Windows this is WinINet's request API.
bool DownloadUrlResuming(const std::string& url, const std::string& partialPath,
                         const HttpValidator& partial, DownloadProgress* progress,
                         DownloadError* error = nullptr);

} // namespace tarnvale::platform
