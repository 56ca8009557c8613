#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// FTP client for the FTP update road: one session, one connection to the update
// server, one remote file open for reading at a time. On Windows it is WinINet
// (InternetOpenA, InternetConnectA in passive mode, FtpSetCurrentDirectoryA,
// FtpGetCurrentDirectoryA, FtpFindFirstFileA/InternetFindNextFileA, FtpGetFileA,
// FtpOpenFileA + InternetReadFile); on POSIX it is libcurl over one persistent
// control connection.
//
// Every operation reports success as a bool. On failure ErrorCode() holds the
// system's code, for the "%s\n[Error Code : %d]" box: GetLastError() on Windows,
// a CURLcode or one of the kFtpError* numbers below on POSIX. ErrorText() adds a
// readable explanation (the server's last reply where there was one).
//
// All calls come from one thread (the launcher window's); the client is not
// thread-safe.
namespace tarnvale::platform {

// FILE_ATTRIBUTE_* values as listings report them.
inline constexpr std::uint32_t kFtpAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kFtpAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFtpAttributeNormal = 0x80;

// Names longer than this do not fit a listing slot of the update road; the listing
// leaves them out rather than handing on a truncated name.
inline constexpr std::size_t kFtpMaxNameLength = 255;

// Transfers of the update road read the remote file in chunks of this size.
inline constexpr std::size_t kFtpChunkSize = 2048;

// POSIX error numbers for conditions libcurl has no code of its own for.
inline constexpr int kFtpErrorNotConnected = 1001;       // no connection is open
inline constexpr int kFtpErrorTransferInProgress = 1002; // a remote file is open
inline constexpr int kFtpErrorListingTooLarge = 1003;    // listing beyond the memory bound
inline constexpr int kFtpErrorBadName = 1004;            // a name with line breaks or NUL

struct FtpEntry {
    std::string name; // at most kFtpMaxNameLength bytes
    std::uint64_t size = 0;
    // FILE_ATTRIBUTE_* bits: the system's on Windows; on POSIX made from the
    // listing (directory, read-only when the owner may not write, else normal).
    std::uint32_t attributes = kFtpAttributeNormal;
    bool IsDirectory() const { return (attributes & kFtpAttributeDirectory) != 0; }
};

// What one read of the open remote file gave.
enum class FtpRead {
    Data,   // some bytes arrived
    End,    // the whole file has arrived
    Failed, // the transfer broke off or delivered less than expected; see ErrorCode()
};

class FtpClient {
  public:
    FtpClient();
    ~FtpClient(); // closes whatever is still open
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // InternetOpenA(agent, preconfigured access, no proxy, no bypass list, flags 0).
    bool OpenSession(const char* agent);
    // InternetConnectA(host, port, account, password, FTP service, passive mode):
    // connects and logs in. Needs an open session.
    bool Connect(const char* host, std::uint16_t port, const char* account, const char* password);
    bool IsSessionOpen() const;
    bool IsConnected() const;
    // Close the open file (if any) and the connection; the session stays.
    void CloseConnection();
    // Close everything, the session last.
    void CloseSession();

    // CWD: relative to the current remote directory, or absolute with a leading "/".
    // The current directory is unchanged on failure.
    bool SetRemoteDirectory(const std::string& directory);
    // PWD: the server's name for the current remote directory, e.g. "/1.02.07".
    bool GetRemoteDirectory(std::string& directory);

    // Lists the current remote directory (the road uses the pattern "*.*", which
    // matches every name). Entries whose names are longer than kFtpMaxNameLength are
    // skipped and counted in SkippedLongNames(). An empty directory is a success.
    bool ListDirectory(const std::string& pattern, std::vector<FtpEntry>& entries);
    std::size_t SkippedLongNames() const;

    // Opens a remote file for reading (binary, reload, no cache write): one attempt;
    // the caller decides about retries. It returns once the server has opened the
    // transfer; a transfer that stalls after that fails on a read. expectedSize is
    // the size the listing gave: a transfer that ends before that many bytes is a
    // failure, not an end. A nonzero `offset` (below expectedSize) asks the server
    // to start there (REST); the reads then deliver the rest of the file, and a
    // server that refuses REST fails the open.
    bool OpenFile(const std::string& remoteName, std::uint64_t expectedSize,
                  std::uint64_t offset = 0);
    bool IsFileOpen() const;
    // Reads up to capacity bytes (the road uses kFtpChunkSize). Blocks until some
    // bytes arrive, the file ends, or the transfer fails.
    FtpRead ReadFile(char* buffer, std::size_t capacity, std::size_t& got);
    // Closes the open file; a transfer not yet finished is abandoned.
    void CloseFile();

    // Whether the last failure was the server staying silent, or a transfer
    // stalling, beyond the transfer limits (TransferLimits.h). Trying again
    // would only wait as long again.
    bool TimedOut() const;
    int ErrorCode() const;
    const std::string& ErrorText() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

// Case-insensitive wildcard match of a listing pattern ("*" and "?"); "*.*" and "*"
// match every name, as they do for Windows listings.
bool FtpPatternMatches(const std::string& pattern, const std::string& name);

// Parses the text of a LIST reply, Unix "ls -l" style or DOS style, line by line.
// Lines that are neither (totals, blank lines, junk) are ignored; names longer than
// kFtpMaxNameLength are counted in skippedLongNames and left out. "." and ".." are
// passed on like any name, as Windows listings do.
void ParseFtpListing(const std::string& text, std::vector<FtpEntry>& entries,
                     std::size_t& skippedLongNames);

} // namespace tarnvale::platform
