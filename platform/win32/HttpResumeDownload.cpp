// Resuming HTTP downloads with WinINet's request API: URLDownloadToFileA always
// fetches the whole file and cannot ask for a range.
#include "platform/HttpDownload.h"

#include "platform/MillisecondClock.h"
#include "platform/TransferLimits.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>

namespace tarnvale::platform {
namespace {

constexpr char kAgent[] = "Tarnvale";
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_COOKIES;
constexpr DWORD kChunkBytes = 64 * 1024;

bool Fail(DownloadError* error, long code, std::string text) {
    if (error) {
        error->code = code;
        error->text = std::move(text);
    }
    return false;
}

// Closes a WinINet handle when it goes.
struct InternetHandle {
    HINTERNET handle = nullptr;
    ~InternetHandle() {
        if (handle)
            ::InternetCloseHandle(handle);
    }
};

struct FileHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
};

std::string QueryText(HINTERNET request, DWORD what) {
    char buffer[1024];
    DWORD length = sizeof buffer;
    if (!::HttpQueryInfoA(request, what, buffer, &length, nullptr))
        return std::string();
    return std::string(buffer, length);
}

HttpResponseHead HeadOf(HINTERNET request) {
    HttpResponseHead head;
    DWORD status = 0;
    DWORD length = sizeof status;
    if (::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length,
                         nullptr))
        head.status = static_cast<long>(status);
    AddHeaderLine(head, "ETag: " + QueryText(request, HTTP_QUERY_ETAG));
    AddHeaderLine(head, "Last-Modified: " + QueryText(request, HTTP_QUERY_LAST_MODIFIED));
    AddHeaderLine(head, "Content-Range: " + QueryText(request, HTTP_QUERY_CONTENT_RANGE));
    AddHeaderLine(head, "Content-Length: " + QueryText(request, HTTP_QUERY_CONTENT_LENGTH));
    return head;
}

std::string SystemError(const char* what, DWORD code) {
    char text[128];
    std::snprintf(text, sizeof text, "%s (error %lu)", what, static_cast<unsigned long>(code));
    return text;
}

enum class Outcome { Done, AskAgain, Failed };

// One request; `have` bytes of the copy `copy` are in the file already.
Outcome Request(HINTERNET session, const std::string& url, HANDLE file, std::uint64_t have,
                const HttpValidator& copy, DownloadProgress* progress, DownloadError* error) {
    std::string headers;
    if (have > 0)
        headers =
            "Range: bytes=" + std::to_string(have) + "-\r\nIf-Range: " + copy.IfRange() + "\r\n";
    if (progress)
        progress->OnDownloadStart();
    InternetHandle request;
    request.handle =
        ::InternetOpenUrlA(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                           static_cast<DWORD>(headers.size()), kRequestFlags, 0);
    if (!request.handle) {
        Fail(error, static_cast<long>(::GetLastError()),
             SystemError("the server could not be reached", ::GetLastError()));
        return Outcome::Failed;
    }
    const HttpResponseHead head = HeadOf(request.handle);
    const HttpResumeStep step = DecideResume(head, have, copy);
    std::uint64_t done = 0;
    std::uint64_t total = head.hasLength ? head.contentLength : 0;
    switch (step) {
    case HttpResumeStep::Fail:
        Fail(error, head.status, "the server answered with status " + std::to_string(head.status));
        return Outcome::Failed;
    case HttpResumeStep::Discard:
        return Outcome::AskAgain;
    case HttpResumeStep::Append:
        done = have;
        total += have;
        if (progress)
            progress->OnDownloadResumed(have, copy.length);
        ::SetFilePointer(file, 0, nullptr, FILE_END);
        break;
    case HttpResumeStep::StartOver:
        ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        if (!::SetEndOfFile(file)) {
            Fail(error, static_cast<long>(::GetLastError()),
                 SystemError("the partial file could not be emptied", ::GetLastError()));
            return Outcome::Failed;
        }
        if (progress)
            progress->OnNewCopy(ValidatorOf(head));
        break;
    }
    StallWatch stall(CurrentTransferLimits(), TimeGetTime());
    char buffer[kChunkBytes];
    for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(request.handle, buffer, sizeof buffer, &got)) {
            Fail(error, static_cast<long>(::GetLastError()),
                 SystemError("the transfer broke off", ::GetLastError()));
            return Outcome::Failed;
        }
        if (got == 0)
            break;
        DWORD written = 0;
        if (!::WriteFile(file, buffer, got, &written, nullptr) || written != got) {
            Fail(error, static_cast<long>(::GetLastError()),
                 SystemError("the partial file could not be written", ::GetLastError()));
            return Outcome::Failed;
        }
        done += got;
        if (!stall.Progress(done, TimeGetTime())) {
            Fail(error, ERROR_INTERNET_TIMEOUT, "the transfer stalled below the minimum speed");
            return Outcome::Failed;
        }
        if (progress && !progress->OnDownloadProgress(done, total)) {
            Fail(error, E_ABORT, "aborted by the progress receiver");
            return Outcome::Failed;
        }
    }
    if (total != 0 && done < total) {
        Fail(error, ERROR_HANDLE_EOF, "the server sent fewer bytes than it announced");
        return Outcome::Failed;
    }
    return Outcome::Done;
}

} // namespace

bool DownloadUrlResuming(const std::string& url, const std::string& partialPath,
                         const HttpValidator& partial, DownloadProgress* progress,
                         DownloadError* error) {
    InternetHandle session;
    session.handle = ::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session.handle)
        return Fail(error, static_cast<long>(::GetLastError()),
                    SystemError("InternetOpen failed", ::GetLastError()));
    // A server that stays silent fails within the stall limit; a trickle is
    // caught by the stall watch over the reads.
    DWORD timeout = static_cast<DWORD>(CurrentTransferLimits().stallSeconds) * 1000u;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_SEND_TIMEOUT})
        ::InternetSetOptionA(session.handle, option, &timeout, sizeof timeout);

    HttpValidator copy = partial;
    for (int request = 0; request < 2; ++request) {
        FileHandle file;
        file.handle = ::CreateFileA(partialPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size{};
        if (file.handle == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file.handle, &size))
            return Fail(error, static_cast<long>(::GetLastError()),
                        SystemError("the partial file could not be opened", ::GetLastError()));
        std::uint64_t have = static_cast<std::uint64_t>(size.QuadPart);
        // Only the start of a named copy, shorter than it, is continued.
        if (have > 0 && (!copy.Usable() || have >= copy.length))
            have = 0;
        switch (Request(session.handle, url, file.handle, have, copy, progress, error)) {
        case Outcome::Done:
            return true;
        case Outcome::Failed:
            return false;
        case Outcome::AskAgain:
            ::SetFilePointer(file.handle, 0, nullptr, FILE_BEGIN);
            ::SetEndOfFile(file.handle);
            copy = {};
            break;
        }
    }
    return Fail(error, ERROR_INVALID_DATA, "the server's ranges do not continue the file");
}

} // namespace tarnvale::platform
