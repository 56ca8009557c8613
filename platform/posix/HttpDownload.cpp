// HTTP downloads over libcurl, reporting progress as URLDownloadToFileA's callback
// does: bytes so far and the announced total, or 0 when the server sent no length.
#include "platform/HttpDownload.h"
#include "platform/FileOps.h"

#include "platform/Files.h"
#include "platform/TransferLimits.h"
#include "platform/posix/CurlGlobal.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarnvale::platform {
namespace {

constexpr long kConnectTimeoutSeconds = 30;
// Larger receive chunks than libcurl's default cut the per-chunk overhead (system
// calls, progress reports) for archives of hundreds of megabytes.
constexpr long kReceiveBufferBytes = 256 * 1024;

struct Transfer {
    int fd = -1;
    int writeError = 0; // errno of a failed write
    DownloadProgress* progress = nullptr;
    curl_off_t lastReported = -1;
    curl_off_t lastTotal = -1;
    bool aborted = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    size_t written = 0;
    while (written < n) {
        const ssize_t w = ::write(t->fd, data + written, n - written);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            t->writeError = w < 0 ? errno : EIO;
            return 0;
        }
        written += static_cast<size_t>(w);
    }
    return n;
}

// libcurl calls this often, also while no byte moves; the receiver hears only of
// changes, as it would from the data notifications of the Windows callback.
int OnProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (!t->progress || (now == t->lastReported && total == t->lastTotal))
        return 0;
    if (now == 0 && t->lastReported < 0 && total == 0)
        return 0; // nothing has arrived yet, not even headers
    t->lastReported = now;
    t->lastTotal = total;
    if (!t->progress->OnDownloadProgress(static_cast<std::uint64_t>(now),
                                         static_cast<std::uint64_t>(total))) {
        t->aborted = true;
        return 1;
    }
    return 0;
}

bool Fail(DownloadError* error, long code, std::string text) {
    if (error) {
        error->code = code;
        error->text = std::move(text);
    }
    return false;
}

} // namespace

bool DownloadUrlToFile(const std::string& url, const std::string& localPath,
                       DownloadProgress* progress, DownloadError* error) {
    if (!InitCurlOnce())
        return Fail(error, CURLE_FAILED_INIT, "libcurl could not be initialised");
    const std::string target = NativePath(localPath);
    const std::string temp = PartialName(target);
    Transfer t;
    t.progress = progress;
    t.fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (t.fd < 0)
        return Fail(error, CURLE_WRITE_ERROR,
                    "cannot create " + temp + ": " + std::strerror(errno));

    CURL* easy = curl_easy_init();
    if (!easy) {
        ::close(t.fd);
        std::remove(temp.c_str());
        return Fail(error, CURLE_FAILED_INIT, "libcurl could not create a handle");
    }
    char message[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    // A body that stalls or trickles fails instead of holding the road for ever.
    const TransferLimits limits = CurrentTransferLimits();
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT,
                     static_cast<long>(limits.minimumBytesPerSecond));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallSeconds));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, message);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);

    if (progress)
        progress->OnDownloadStart();
    CURLcode result = curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    if (::close(t.fd) != 0 && t.writeError == 0)
        t.writeError = errno;
    // A local file that could not be written says why in the system's words
    // ("No space left on device"), rather than as libcurl's write error.
    if (t.writeError != 0) {
        std::remove(temp.c_str());
        return Fail(error, CURLE_WRITE_ERROR,
                    "cannot write " + temp + ": " + std::strerror(t.writeError));
    }
    if (result == CURLE_OK && std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return Fail(error, CURLE_WRITE_ERROR,
                    "cannot rename " + temp + ": " + std::strerror(errno));
    }
    if (result != CURLE_OK) {
        std::remove(temp.c_str());
        std::string text = message[0] ? message : curl_easy_strerror(result);
        if (t.aborted)
            text = "aborted by the progress receiver";
        return Fail(error, static_cast<long>(result), std::move(text));
    }
    return true;
}

} // namespace tarnvale::platform
