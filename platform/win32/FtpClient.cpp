// FTP client over WinINet, with the arguments the update road has always used.
#include "platform/FtpClient.h"

#include "platform/MillisecondClock.h"
#include "platform/TransferLimits.h"

#include <windows.h>
#include <wininet.h>

#include <optional>

namespace tarnvale::platform {
namespace {

// Far beyond any update server's folder: a bound against a server whose listing
// never ends.
constexpr std::size_t kMaxListingEntries = 200000;

constexpr DWORD kOpenFileFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | FTP_TRANSFER_TYPE_BINARY; // 0x84000002

} // namespace

struct FtpClient::Impl {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET file = nullptr;
    std::uint64_t fileTotal = 0;
    std::uint64_t fileExpected = 0;
    std::optional<StallWatch> stall; // of the open file
    std::size_t skippedLongNames = 0;
    int errorCode = 0;
    std::string errorText;

    void Fail(DWORD code, const char* what) {
        errorCode = static_cast<int>(code);
        errorText = what;
        // WinINet reports a refusing server as ERROR_INTERNET_EXTENDED_ERROR; its
        // reply is the useful part.
        if (code == ERROR_INTERNET_EXTENDED_ERROR) {
            char reply[512] = {};
            DWORD replyCode = 0;
            DWORD length = sizeof reply;
            if (::InternetGetLastResponseInfoA(&replyCode, reply, &length) && length > 0) {
                std::string text(reply, length < sizeof reply ? length : sizeof reply - 1);
                while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                    text.pop_back();
                errorText += " (" + text + ")";
            }
        } else if (code != 0) {
            // WinINet's own codes have their texts in its module, the rest in the
            // system's.
            char text[256] = {};
            const DWORD length = ::FormatMessageA(
                FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                    FORMAT_MESSAGE_IGNORE_INSERTS,
                ::GetModuleHandleA("wininet.dll"), code, 0, text, sizeof text, nullptr);
            std::string described(text, length);
            while (!described.empty() && (described.back() == '\n' || described.back() == '\r' ||
                                          described.back() == '.'))
                described.pop_back();
            errorText += " (error " + std::to_string(code) +
                         (described.empty() ? std::string() : ": " + described) + ")";
        }
    }

    void FailLast(const char* what) { Fail(::GetLastError(), what); }

    bool Ready() {
        if (!connection) {
            Fail(ERROR_INVALID_HANDLE, "no FTP connection is open");
            return false;
        }
        if (file) {
            Fail(ERROR_FTP_TRANSFER_IN_PROGRESS, "a remote file is still open");
            return false;
        }
        return true;
    }

    void CloseFile() {
        if (file)
            ::InternetCloseHandle(file);
        file = nullptr;
    }
};

FtpClient::FtpClient() : m_impl(std::make_unique<Impl>()) {}

FtpClient::~FtpClient() {
    CloseSession();
}

bool FtpClient::OpenSession(const char* agent) {
    CloseSession();
    m_impl->session = ::InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_impl->session) {
        m_impl->FailLast("InternetOpen failed");
        return false;
    }
    return true;
}

bool FtpClient::Connect(const char* host, std::uint16_t port, const char* account,
                        const char* password) {
    Impl& d = *m_impl;
    if (!d.session) {
        d.Fail(ERROR_INVALID_HANDLE, "no internet session is open");
        return false;
    }
    CloseConnection();
    d.connection = ::InternetConnectA(d.session, host, port, account, password,
                                      INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    if (!d.connection) {
        d.FailLast("InternetConnect failed");
        return false;
    }
    // A server that stops answering, or a data connection that goes silent,
    // fails within the stall limit; a trickle is caught by the reads.
    DWORD timeout = static_cast<DWORD>(CurrentTransferLimits().stallSeconds) * 1000u;
    for (DWORD option : {static_cast<DWORD>(INTERNET_OPTION_RECEIVE_TIMEOUT),
                         static_cast<DWORD>(INTERNET_OPTION_SEND_TIMEOUT),
                         static_cast<DWORD>(INTERNET_OPTION_DATA_RECEIVE_TIMEOUT),
                         static_cast<DWORD>(INTERNET_OPTION_DATA_SEND_TIMEOUT)})
        ::InternetSetOptionA(d.connection, option, &timeout, sizeof timeout);
    return true;
}

bool FtpClient::IsSessionOpen() const {
    return m_impl->session != nullptr;
}

bool FtpClient::IsConnected() const {
    return m_impl->connection != nullptr;
}

void FtpClient::CloseConnection() {
    m_impl->CloseFile();
    if (m_impl->connection)
        ::InternetCloseHandle(m_impl->connection);
    m_impl->connection = nullptr;
}

void FtpClient::CloseSession() {
    CloseConnection();
    if (m_impl->session)
        ::InternetCloseHandle(m_impl->session);
    m_impl->session = nullptr;
}

bool FtpClient::SetRemoteDirectory(const std::string& directory) {
    Impl& d = *m_impl;
    if (!d.Ready())
        return false;
    if (!::FtpSetCurrentDirectoryA(d.connection, directory.c_str())) {
        d.FailLast("FtpSetCurrentDirectory failed");
        return false;
    }
    return true;
}

bool FtpClient::GetRemoteDirectory(std::string& directory) {
    Impl& d = *m_impl;
    if (!d.Ready())
        return false;
    char buffer[1024] = {};
    DWORD length = sizeof buffer;
    if (!::FtpGetCurrentDirectoryA(d.connection, buffer, &length)) {
        d.FailLast("FtpGetCurrentDirectory failed");
        return false;
    }
    directory.assign(buffer);
    return true;
}

bool FtpClient::ListDirectory(const std::string& pattern, std::vector<FtpEntry>& entries) {
    Impl& d = *m_impl;
    entries.clear();
    d.skippedLongNames = 0;
    if (!d.Ready())
        return false;
    WIN32_FIND_DATAA found{};
    HINTERNET find = ::FtpFindFirstFileA(d.connection, pattern.c_str(), &found, 0, 0);
    if (!find) {
        // An empty directory: WinINet says "no more files", Wine's says nothing.
        const DWORD code = ::GetLastError();
        if (code == ERROR_NO_MORE_FILES || code == ERROR_SUCCESS)
            return true;
        d.Fail(code, "FtpFindFirstFile failed");
        return false;
    }
    bool ok = true;
    do {
        if (entries.size() >= kMaxListingEntries) {
            d.Fail(ERROR_NOT_ENOUGH_MEMORY, "the directory listing is too large");
            ok = false;
            break;
        }
        // cFileName holds at most MAX_PATH - 1 bytes, so WinINet cuts longer names;
        // anything over the slot size is left out whole.
        const std::size_t length = ::strnlen(found.cFileName, sizeof found.cFileName);
        if (length > kFtpMaxNameLength) {
            ++d.skippedLongNames;
            continue;
        }
        FtpEntry entry;
        entry.name.assign(found.cFileName, length);
        entry.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entry.attributes = found.dwFileAttributes;
        entries.push_back(std::move(entry));
    } while (::InternetFindNextFileA(find, &found));
    if (ok && ::GetLastError() != ERROR_NO_MORE_FILES) {
        d.FailLast("InternetFindNextFile failed");
        ok = false;
    }
    ::InternetCloseHandle(find);
    return ok;
}

std::size_t FtpClient::SkippedLongNames() const {
    return m_impl->skippedLongNames;
}

bool FtpClient::OpenFile(const std::string& remoteName, std::uint64_t expectedSize,
                         std::uint64_t offset) {
    Impl& d = *m_impl;
    if (!d.Ready())
        return false;
    // WinINet has no offset of its own: the REST goes first, and the retrieval
    // that FtpOpenFileA starts takes it up. Binary mode is asked for before it,
    // since servers refuse a restart in ASCII mode, which a session starts in.
    if (offset > 0) {
        for (const std::string& command :
             {std::string("TYPE I"), "REST " + std::to_string(offset)}) {
            if (!::FtpCommandA(d.connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0,
                               nullptr)) {
                d.FailLast((command + " refused").c_str());
                return false;
            }
        }
    }
    d.file = ::FtpOpenFileA(d.connection, remoteName.c_str(), GENERIC_READ, kOpenFileFlags, 0);
    if (!d.file) {
        d.FailLast("FtpOpenFile failed");
        return false;
    }
    d.fileTotal = 0;
    d.fileExpected = expectedSize > offset ? expectedSize - offset : 0;
    d.stall.emplace(CurrentTransferLimits(), TimeGetTime());
    return true;
}

bool FtpClient::IsFileOpen() const {
    return m_impl->file != nullptr;
}

FtpRead FtpClient::ReadFile(char* buffer, std::size_t capacity, std::size_t& got) {
    Impl& d = *m_impl;
    got = 0;
    if (!d.file) {
        d.Fail(ERROR_INVALID_HANDLE, "no remote file is open");
        return FtpRead::Failed;
    }
    DWORD read = 0;
    DWORD wanted = capacity > 0x10000000 ? 0x10000000 : static_cast<DWORD>(capacity);
    // Asking what has arrived first keeps a read from waiting to fill the whole
    // buffer, so a trickling server is seen as one.
    DWORD available = 0;
    if (::InternetQueryDataAvailable(d.file, &available, 0, 0) && available > 0 &&
        available < wanted)
        wanted = available;
    if (!::InternetReadFile(d.file, buffer, wanted, &read)) {
        d.FailLast("InternetReadFile failed");
        return FtpRead::Failed;
    }
    if (read > 0) {
        d.fileTotal += read;
        if (d.stall && !d.stall->Progress(d.fileTotal, TimeGetTime())) {
            d.Fail(ERROR_INTERNET_TIMEOUT, "the transfer stalled below the minimum speed");
            return FtpRead::Failed;
        }
        got = read;
        return FtpRead::Data;
    }
    // WinINet also ends a transfer the server aborted ("426") with an empty read, so
    // only the listed size tells a whole file from a cut one.
    if (d.fileTotal < d.fileExpected) {
        d.Fail(ERROR_HANDLE_EOF, "the server sent fewer bytes than the listing gave");
        return FtpRead::Failed;
    }
    return FtpRead::End;
}

void FtpClient::CloseFile() {
    m_impl->CloseFile();
}

bool FtpClient::TimedOut() const {
    return m_impl->errorCode == ERROR_INTERNET_TIMEOUT;
}

int FtpClient::ErrorCode() const {
    return m_impl->errorCode;
}

const std::string& FtpClient::ErrorText() const {
    return m_impl->errorText;
}

} // namespace tarnvale::platform
