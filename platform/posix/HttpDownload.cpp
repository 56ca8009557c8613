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
#include <sys/stat.h>
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
    // Resuming downloads only: what the partial held, which copy it is of, and
    // what the answer's head says.
    bool resuming = false;
    std::uint64_t have = 0;
    HttpValidator partial;
    HttpResponseHead head;
    HttpResumeStep step = HttpResumeStep::Fail;
    bool decided = false;
    int localError = 0; // errno of a failed truncation
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    // The body of an answer that did not decide (a final 3xx) is not the file's,
    // and a partial must not take it.
    if (t->resuming && !t->decided)
        return n;
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

// The end of the last answer's head decides what becomes of the partial, before
// the first byte of the body is written.
bool DecideAtHeadEnd(Transfer& t) {
    if (t.head.status >= 100 && t.head.status < 200)
        return true; // an interim answer; the real one follows
    if (t.head.status >= 300 && t.head.status < 400)
        return true; // a redirect; the answer at its end counts
    t.decided = true;
    t.step = DecideResume(t.head, t.have, t.partial);
    if (t.step == HttpResumeStep::Append) {
        if (t.progress)
            t.progress->OnDownloadResumed(t.have, t.partial.length);
        return true;
    }
    if (t.step != HttpResumeStep::StartOver)
        return false;
    t.have = 0;
    if (::ftruncate(t.fd, 0) != 0 || ::lseek(t.fd, 0, SEEK_SET) != 0) {
        t.localError = errno;
        return false;
    }
    if (t.progress)
        t.progress->OnNewCopy(ValidatorOf(t.head));
    return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    const std::string_view line(data, n);
    if (line == "\r\n" || line == "\n")
        return DecideAtHeadEnd(*t) ? n : 0;
    AddHeaderLine(t->head, line);
    return n;
}

// libcurl calls this often, also while no byte moves; the receiver hears only of
// changes, as it would from the data notifications of the Windows callback.
int OnProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    // A resumed body counts from the bytes that were there already.
    if (t->resuming && t->decided && t->step == HttpResumeStep::Append) {
        now += static_cast<curl_off_t>(t->have);
        total = total != 0 ? total + static_cast<curl_off_t>(t->have) : 0;
    }
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

// One request for `url` into t.fd. `range`, when not empty, asks for part of
// the file. The message is the failure's text for the caller.
CURLcode Perform(const std::string& url, Transfer& t, const std::string& range,
                 std::string& message) {
    CURL* easy = curl_easy_init();
    if (!easy) {
        message = "libcurl could not create a handle";
        return CURLE_FAILED_INIT;
    }
    char text[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
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
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, text);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    if (t.resuming) {
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
        // A 416 for a range is an answer to act on, not a failure of the transfer.
        curl_easy_setopt(easy, CURLOPT_FAILONERROR, 0L);
    }
    if (!range.empty()) {
        curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
        headers = curl_slist_append(headers, ("If-Range: " + t.partial.IfRange()).c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    }
    if (t.progress)
        t.progress->OnDownloadStart();
    CURLcode result = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    message = text[0] ? text : curl_easy_strerror(result);
    if (t.aborted)
        message = "aborted by the progress receiver";
    // Errors fail above; a redirect with nowhere to go (no Location) ends here
    // as a final answer, and its page is not the file. A resumed request's
    // answers are judged by their heads.
    if (result == CURLE_OK && (status < 200 || status >= 300) && !(t.resuming && t.decided)) {
        result = CURLE_HTTP_RETURNED_ERROR;
        message = "the server answered with status " + std::to_string(status);
    }
    return result;
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
    std::string message;
    const CURLcode result = Perform(url, t, std::string(), message);
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
        return Fail(error, static_cast<long>(result), std::move(message));
    }
    return true;
}

bool DownloadUrlResuming(const std::string& url, const std::string& partialPath,
                         const HttpValidator& partial, DownloadProgress* progress,
                         DownloadError* error) {
    if (!InitCurlOnce())
        return Fail(error, CURLE_FAILED_INIT, "libcurl could not be initialised");
    const std::string path = NativePath(partialPath);
    // A range that does not continue the partial is answered by asking once more
    // for the whole file.
    HttpValidator copy = partial;
    for (int request = 0; request < 2; ++request) {
        Transfer t;
        t.progress = progress;
        t.resuming = true;
        t.partial = copy;
        t.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        struct stat st {};
        if (t.fd < 0 || ::fstat(t.fd, &st) != 0) {
            const int why = errno;
            if (t.fd >= 0)
                ::close(t.fd);
            return Fail(error, CURLE_WRITE_ERROR,
                        "cannot open " + path + ": " + std::strerror(why));
        }
        t.have = static_cast<std::uint64_t>(st.st_size);
        // Only the start of a named copy, shorter than it, is continued.
        if (t.have > 0 && (!copy.Usable() || t.have >= copy.length))
            t.have = 0;
        const std::string range = t.have > 0 ? std::to_string(t.have) + "-" : std::string();
        std::string message;
        const CURLcode result = Perform(url, t, range, message);
        if (::close(t.fd) != 0 && t.writeError == 0)
            t.writeError = errno;
        if (t.writeError != 0 || t.localError != 0)
            return Fail(error, CURLE_WRITE_ERROR,
                        "cannot write " + path + ": " +
                            std::strerror(t.writeError != 0 ? t.writeError : t.localError));
        if (t.decided && t.step == HttpResumeStep::Discard) {
            if (::truncate(path.c_str(), 0) != 0)
                return Fail(error, CURLE_WRITE_ERROR,
                            "cannot empty " + path + ": " + std::strerror(errno));
            copy = {};
            continue;
        }
        if (t.decided && t.step == HttpResumeStep::Fail)
            return Fail(error, t.head.status,
                        "the server answered with status " + std::to_string(t.head.status));
        if (result != CURLE_OK)
            return Fail(error, static_cast<long>(result), std::move(message));
        return true;
    }
    return Fail(error, CURLE_RANGE_ERROR, "the server's ranges do not continue the file");
}

} // namespace tarnvale::platform
