// FTP client over libcurl. One multi handle per connection keeps the control
// connection alive between operations (libcurl caches it in the multi handle), so
// the server sees one login, as with WinINet. libcurl addresses files by URL rather
// than by a current directory, so the client tracks the remote current directory
// itself (as the server names it after a CWD) and hands every transfer and listing
// the absolute path made from it (libcurl's no-CWD method). Relative names keep
// exactly the meaning they have for WinINet, also after libcurl had to reconnect,
// and a file costs no CWD of its own: only a change of directory asks the server.
#include "platform/FtpClient.h"

#include "platform/Files.h"
#include "platform/TransferLimits.h"
#include "platform/posix/CurlGlobal.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/select.h>

namespace tarnvale::platform {
namespace {

// A listing is held in memory while it is parsed; far more than any update
// server's folder needs, and a bound against a server that never stops sending.
constexpr std::size_t kMaxListingBytes = 16u << 20;

constexpr long kConnectTimeoutSeconds = 30;
// What a transfer holds before libcurl is asked to wait for the reads.
constexpr std::size_t kMaxStagedBytes = 64 * 1024;

bool HasLineBreak(const std::string& s) {
    return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// Percent-encodes a remote name for the path part of an ftp:// URL; "/" stays, so
// "a/b" and "/a/b" keep their meaning under libcurl's no-CWD method.
std::string EncodePath(const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || std::strchr("-._~/", c) != nullptr) {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    return out;
}

// The quoted path of a "257" reply; a doubled quote stands for one.
bool ParsePwdReply(const std::string& line, std::string& path) {
    if (line.compare(0, 3, "257") != 0)
        return false;
    std::size_t i = line.find('"');
    if (i == std::string::npos)
        return false;
    path.clear();
    for (++i; i < line.size(); ++i) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                path += '"';
                ++i;
                continue;
            }
            return true;
        }
        path += line[i];
    }
    return false;
}

} // namespace

struct FtpClient::Impl {
    bool sessionOpen = false;
    std::string agent;

    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    std::string baseUrl; // "ftp://host:port"
    std::string account, password;
    std::string currentDirectory;
    curl_slist* quote = nullptr; // commands of the current request, kept until the next

    // Replies of the current operation, one per line, for PWD and error texts.
    std::vector<std::string> replies;

    // The open remote file. The write callback stages what libcurl hands over up
    // to kMaxStagedBytes; beyond that, further data is paused inside libcurl until
    // the reads have taken it, so memory stays bounded however fast the server
    // sends, and a fast transfer is seldom paused.
    bool fileOpen = false;
    bool fileDone = false;
    bool filePaused = false;
    CURLcode fileResult = CURLE_OK;
    std::vector<char> staged;
    std::size_t stagedPos = 0;
    std::uint64_t fileTotal = 0;
    std::uint64_t fileExpected = 0;

    // Destination of the current non-file operation.
    std::string* listingText = nullptr;

    std::size_t skippedLongNames = 0;
    int errorCode = 0;
    std::string errorText;

    void Fail(int code, std::string text) {
        errorCode = code;
        errorText = std::move(text);
    }

    void FailCurl(CURLcode code) {
        std::string text = curl_easy_strerror(code);
        if (!replies.empty())
            text += " (" + replies.back() + ")";
        Fail(static_cast<int>(code), std::move(text));
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Impl*>(user);
        std::string line(data, size * count);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (self->replies.size() >= 64)
            self->replies.erase(self->replies.begin());
        self->replies.push_back(std::move(line));
        return size * count;
    }

    static size_t OnListing(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Impl*>(user);
        const size_t n = size * count;
        if (self->listingText->size() + n > kMaxListingBytes)
            return 0; // ends the transfer with CURLE_WRITE_ERROR
        self->listingText->append(data, n);
        return n;
    }

    static size_t OnStreamData(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Impl*>(user);
        const size_t n = size * count;
        if (self->staged.size() - self->stagedPos >= kMaxStagedBytes) {
            self->filePaused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (self->stagedPos > 0) {
            self->staged.erase(self->staged.begin(),
                               self->staged.begin() + static_cast<std::ptrdiff_t>(self->stagedPos));
            self->stagedPos = 0;
        }
        self->staged.insert(self->staged.end(), data, data + n);
        self->fileTotal += n;
        return n;
    }

    // The absolute path of a name relative to the tracked current directory; a
    // name that begins with "/" is absolute already. A trailing "/" asks for a
    // listing of that directory.
    std::string AbsolutePath(const std::string& name) const {
        if (!name.empty() && name.front() == '/')
            return name;
        std::string path = currentDirectory.empty() ? "/" : currentDirectory;
        if (path.back() != '/')
            path += '/';
        return path + name;
    }

    // Options every request of this connection carries; Prepare resets the rest.
    // `remotePath` is an absolute path, or empty for a request that transfers
    // nothing; `commands` are sent before libcurl's own.
    void Prepare(const std::string& remotePath, const std::vector<std::string>& commands = {}) {
        curl_easy_reset(easy);
        replies.clear();
        curl_slist_free_all(quote);
        quote = nullptr;
        for (const std::string& command : commands)
            quote = curl_slist_append(quote, command.c_str());
        const std::string url = baseUrl + "/" + EncodePath(remotePath);
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_USERNAME, account.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
        curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        // A server that stops answering, or a transfer that stalls or trickles,
        // fails within the transfer limits rather than holding the road.
        const TransferLimits limits = CurrentTransferLimits();
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                         static_cast<long>(limits.stallSeconds));
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT,
                         static_cast<long>(limits.minimumBytesPerSecond));
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallSeconds));
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_QUOTE, quote);
    }

    // Runs the prepared request to its end on this connection's multi handle.
    CURLcode Run() {
        if (curl_multi_add_handle(multi, easy) != CURLM_OK)
            return CURLE_FAILED_INIT;
        CURLcode result = CURLE_OK;
        bool done = false;
        while (!done) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            done = TakeResult(result);
            if (!done && !Wait()) {
                result = CURLE_FAILED_INIT;
                break;
            }
        }
        curl_multi_remove_handle(multi, easy);
        return result;
    }

    // Waits for the connection's sockets, or for libcurl's next time-out. libcurl
    // 7.88 sometimes returns from a step with no socket to wait on (after the
    // reply to EPSV, fixed in 8.4): polling would then sleep its whole timeout,
    // so it only looks, without waiting.
    bool Wait() {
        fd_set read, write, error;
        FD_ZERO(&read);
        FD_ZERO(&write);
        FD_ZERO(&error);
        int maxFd = -1;
        if (curl_multi_fdset(multi, &read, &write, &error, &maxFd) != CURLM_OK)
            return false;
        const int timeout = maxFd == -1 ? 0 : 1000;
        return curl_multi_poll(multi, nullptr, 0, timeout, nullptr) == CURLM_OK;
    }

    // Whether the server has said that the file's data is on its way.
    bool TransferOpened() const {
        for (const std::string& reply : replies) {
            if (reply.compare(0, 4, "150 ") == 0 || reply.compare(0, 4, "125 ") == 0)
                return true;
        }
        return false;
    }

    bool TakeResult(CURLcode& result) {
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                result = msg->data.result;
                return true;
            }
        }
        return false;
    }

    bool Ready() {
        if (!multi) {
            Fail(kFtpErrorNotConnected, "no FTP connection is open");
            return false;
        }
        if (fileOpen) {
            Fail(kFtpErrorTransferInProgress, "a remote file is still open");
            return false;
        }
        return true;
    }

    bool CheckName(const std::string& name) {
        if (HasLineBreak(name) || name.empty()) {
            Fail(kFtpErrorBadName, "remote name is empty or contains a line break");
            return false;
        }
        return true;
    }

    void DropConnection() {
        if (fileOpen)
            CloseFile();
        if (multi)
            curl_multi_cleanup(multi); // sends QUIT on the cached control connection
        if (easy)
            curl_easy_cleanup(easy);
        multi = nullptr;
        easy = nullptr;
        curl_slist_free_all(quote);
        quote = nullptr;
        currentDirectory.clear();
    }

    void CloseFile() {
        if (!fileOpen)
            return;
        // Abandoning an unfinished download makes libcurl close that control
        // connection; the next operation logs in again by itself.
        curl_multi_remove_handle(multi, easy);
        fileOpen = false;
        staged.clear();
        stagedPos = 0;
    }
};

FtpClient::FtpClient() : m_impl(std::make_unique<Impl>()) {}

FtpClient::~FtpClient() {
    CloseSession();
}

bool FtpClient::OpenSession(const char* agent) {
    if (!InitCurlOnce()) {
        m_impl->Fail(CURLE_FAILED_INIT, "libcurl could not be initialised");
        return false;
    }
    m_impl->agent = agent ? agent : "";
    m_impl->sessionOpen = true;
    return true;
}

bool FtpClient::Connect(const char* host, std::uint16_t port, const char* account,
                        const char* password) {
    Impl& d = *m_impl;
    if (!d.sessionOpen) {
        d.Fail(kFtpErrorNotConnected, "no internet session is open");
        return false;
    }
    d.DropConnection();
    std::string hostPart = host ? host : "";
    if (hostPart.find(':') != std::string::npos && hostPart.front() != '[')
        hostPart = "[" + hostPart + "]"; // an IPv6 address
    d.baseUrl = "ftp://" + hostPart + ":" + std::to_string(port);
    d.account = account ? account : "";
    d.password = password ? password : "";
    d.multi = curl_multi_init();
    d.easy = curl_easy_init();
    if (!d.multi || !d.easy) {
        d.DropConnection();
        d.Fail(CURLE_FAILED_INIT, "libcurl could not create a handle");
        return false;
    }
    // Log in and learn the start directory; the request transfers nothing.
    d.Prepare("");
    curl_easy_setopt(d.easy, CURLOPT_NOBODY, 1L);
    const CURLcode result = d.Run();
    curl_off_t connectedAfter = 0, waited = 0; // microseconds; 0 while not connected
    curl_easy_getinfo(d.easy, CURLINFO_CONNECT_TIME_T, &connectedAfter);
    curl_easy_getinfo(d.easy, CURLINFO_TOTAL_TIME_T, &waited);
    if (result == CURLE_OPERATION_TIMEDOUT && connectedAfter > 0 && d.replies.empty()) {
        // It took the connection and never spoke: FTP servers greet first,
        // whereas an HTTP server, say, waits for the client.
        d.Fail(result, "no FTP greeting in " + std::to_string((waited + 500000) / 1000000) +
                           " s: is that port an FTP server's?");
        d.DropConnection();
        return false;
    }
    if (result != CURLE_OK) {
        d.FailCurl(result);
        d.DropConnection();
        return false;
    }
    const char* entry = nullptr;
    curl_easy_getinfo(d.easy, CURLINFO_FTP_ENTRY_PATH, &entry);
    d.currentDirectory = entry && *entry ? entry : "/";
    return true;
}

bool FtpClient::IsSessionOpen() const {
    return m_impl->sessionOpen;
}

bool FtpClient::IsConnected() const {
    return m_impl->multi != nullptr;
}

void FtpClient::CloseConnection() {
    m_impl->DropConnection();
}

void FtpClient::CloseSession() {
    m_impl->DropConnection();
    m_impl->sessionOpen = false;
}

bool FtpClient::SetRemoteDirectory(const std::string& directory) {
    Impl& d = *m_impl;
    if (!d.Ready() || !d.CheckName(directory))
        return false;
    // The server resolves the name (relative, absolute, "..") and says where that
    // led; libcurl fails the request if either CWD is refused.
    d.Prepare("", {"CWD " + d.currentDirectory, "CWD " + directory, "PWD"});
    curl_easy_setopt(d.easy, CURLOPT_NOBODY, 1L);
    const CURLcode result = d.Run();
    if (result != CURLE_OK) {
        d.FailCurl(result);
        return false;
    }
    for (auto it = d.replies.rbegin(); it != d.replies.rend(); ++it) {
        std::string path;
        if (ParsePwdReply(*it, path)) {
            d.currentDirectory = path;
            return true;
        }
    }
    d.Fail(CURLE_FTP_WEIRD_SERVER_REPLY, "the server did not name its current directory");
    return false;
}

bool FtpClient::GetRemoteDirectory(std::string& directory) {
    Impl& d = *m_impl;
    if (!d.Ready())
        return false;
    directory = d.currentDirectory;
    return true;
}

bool FtpClient::ListDirectory(const std::string& pattern, std::vector<FtpEntry>& entries) {
    Impl& d = *m_impl;
    entries.clear();
    d.skippedLongNames = 0;
    if (!d.Ready())
        return false;
    std::string text;
    d.Prepare(d.AbsolutePath(""));
    d.listingText = &text;
    curl_easy_setopt(d.easy, CURLOPT_WRITEFUNCTION, &Impl::OnListing);
    curl_easy_setopt(d.easy, CURLOPT_WRITEDATA, &d);
    const CURLcode result = d.Run();
    d.listingText = nullptr;
    if (result == CURLE_WRITE_ERROR) {
        d.Fail(kFtpErrorListingTooLarge, "the directory listing is too large");
        return false;
    }
    if (result != CURLE_OK) {
        d.FailCurl(result);
        return false;
    }
    std::vector<FtpEntry> all;
    ParseFtpListing(text, all, d.skippedLongNames);
    for (FtpEntry& entry : all)
        if (FtpPatternMatches(pattern, entry.name))
            entries.push_back(std::move(entry));
    return true;
}

std::size_t FtpClient::SkippedLongNames() const {
    return m_impl->skippedLongNames;
}

bool FtpClient::OpenFile(const std::string& remoteName, std::uint64_t expectedSize,
                         std::uint64_t offset) {
    Impl& d = *m_impl;
    if (!d.Ready() || !d.CheckName(remoteName))
        return false;
    d.Prepare(d.AbsolutePath(remoteName));
    curl_easy_setopt(d.easy, CURLOPT_WRITEFUNCTION, &Impl::OnStreamData);
    curl_easy_setopt(d.easy, CURLOPT_WRITEDATA, &d);
    // No SIZE before the transfer, a round trip per file: the listing gave the
    // size, and the reads hold the transfer to it. libcurl sends REST only on
    // the way that asks SIZE first, so a transfer that starts past the first
    // byte takes that round trip.
    if (offset > 0)
        curl_easy_setopt(d.easy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(offset));
    else
        curl_easy_setopt(d.easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    d.staged.clear();
    d.stagedPos = 0;
    d.fileTotal = 0;
    d.fileExpected = expectedSize > offset ? expectedSize - offset : 0;
    d.fileDone = false;
    d.filePaused = false;
    d.fileResult = CURLE_OK;
    const bool added = curl_multi_add_handle(d.multi, d.easy) == CURLM_OK;
    d.fileOpen = added;
    // Wait until the server has opened the transfer (its 125 or 150 reply), the
    // first bytes or the end, so that a missing file fails here, as FtpOpenFileA
    // does, and not on the first read. A transfer that stalls after it opened
    // fails on a read, where it is not retried.
    while (added && d.staged.empty() && !d.fileDone && !d.TransferOpened()) {
        int running = 0;
        if (curl_multi_perform(d.multi, &running) != CURLM_OK) {
            d.fileResult = CURLE_FAILED_INIT;
            d.fileDone = true;
            break;
        }
        d.fileDone = d.TakeResult(d.fileResult);
        if (d.staged.empty() && !d.fileDone && !d.TransferOpened())
            d.Wait();
    }
    if (!added || (d.fileDone && d.fileResult != CURLE_OK && d.staged.empty())) {
        const CURLcode result = added ? d.fileResult : CURLE_FAILED_INIT;
        d.CloseFile();
        d.FailCurl(result);
        return false;
    }
    return true;
}

bool FtpClient::IsFileOpen() const {
    return m_impl->fileOpen;
}

FtpRead FtpClient::ReadFile(char* buffer, std::size_t capacity, std::size_t& got) {
    Impl& d = *m_impl;
    got = 0;
    if (!d.fileOpen) {
        d.Fail(kFtpErrorNotConnected, "no remote file is open");
        return FtpRead::Failed;
    }
    for (;;) {
        if (d.stagedPos < d.staged.size()) {
            got = std::min(capacity, d.staged.size() - d.stagedPos);
            std::memcpy(buffer, d.staged.data() + d.stagedPos, got);
            d.stagedPos += got;
            if (d.stagedPos == d.staged.size()) {
                d.staged.clear();
                d.stagedPos = 0;
                if (d.filePaused) {
                    // Unpausing may hand over the held-back data at once.
                    d.filePaused = false;
                    curl_easy_pause(d.easy, CURLPAUSE_CONT);
                }
            }
            return FtpRead::Data;
        }
        if (d.fileDone) {
            if (d.fileResult != CURLE_OK) {
                d.FailCurl(d.fileResult);
                return FtpRead::Failed;
            }
            if (d.fileTotal < d.fileExpected) {
                d.Fail(CURLE_PARTIAL_FILE, "the server sent " + std::to_string(d.fileTotal) +
                                               " of " + std::to_string(d.fileExpected) +
                                               " listed bytes");
                return FtpRead::Failed;
            }
            return FtpRead::End;
        }
        int running = 0;
        if (curl_multi_perform(d.multi, &running) != CURLM_OK) {
            d.fileResult = CURLE_FAILED_INIT;
            d.fileDone = true;
            continue;
        }
        d.fileDone = d.TakeResult(d.fileResult);
        if (d.staged.empty() && !d.fileDone)
            d.Wait();
    }
}

void FtpClient::CloseFile() {
    m_impl->CloseFile();
}

bool FtpClient::TimedOut() const {
    return m_impl->errorCode == CURLE_OPERATION_TIMEDOUT;
}

int FtpClient::ErrorCode() const {
    return m_impl->errorCode;
}

const std::string& FtpClient::ErrorText() const {
    return m_impl->errorText;
}

} // namespace tarnvale::platform
