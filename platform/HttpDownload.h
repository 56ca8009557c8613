#pragma once

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

} // namespace tarnvale::platform
