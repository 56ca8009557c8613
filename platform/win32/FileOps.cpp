#include "platform/FileOps.h"

#include "platform/FileError.h"

#include <windows.h>

#include <cstdio>

namespace tarnvale::platform {
namespace {

bool Fail() {
    return RecordFileError();
}

std::string StageName(const std::string& target, unsigned attempt) {
    return StagingName(target, static_cast<unsigned long>(::GetCurrentProcessId()), attempt);
}

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

} // namespace

std::string PartialName(const std::string& target) {
    return StageName(target, 0);
}

namespace {
thread_local int t_lastError = 0;
} // namespace

bool RecordFileError() {
    t_lastError = static_cast<int>(::GetLastError());
    return false;
}

void RecordFileError(int code) {
    t_lastError = code;
}

int LastFileError() {
    return t_lastError;
}

std::string FileErrorText(int code) {
    char buffer[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

std::string LastFileErrorText() {
    return FileErrorText(t_lastError);
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
    const DWORD existing = ::GetFileAttributesA(to.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
        RecordFileError(ERROR_ACCESS_DENIED);
        return false;
    }
    // The copy goes to a name that did not exist before, so it can never clobber
    // a file that happens to carry the staging name.
    std::string stage;
    for (unsigned attempt = 0;; ++attempt) {
        stage = StageName(to, attempt);
        if (::CopyFileA(from.c_str(), stage.c_str(), TRUE))
            break;
        if (::GetLastError() != ERROR_FILE_EXISTS || attempt >= 99)
            return Fail();
    }
    if (::MoveFileExA(stage.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    Fail();
    ::SetFileAttributesA(stage.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(stage.c_str());
    return false;
}

bool PlaceStagedCopy(const std::string& from, const std::string& to) {
    // The system's own copy, as the launcher has always made it here.
    return CopyFileReplacing(from, to);
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) || Fail();
}

bool FileSize(const std::string& path, std::uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return Fail();
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool ReadAttributes(const std::string& path, std::uint32_t& attributes) {
    const DWORD value = ::GetFileAttributesA(path.c_str());
    if (value == INVALID_FILE_ATTRIBUTES)
        return Fail();
    attributes = value;
    return true;
}

bool WriteAttributes(const std::string& path, std::uint32_t attributes) {
    DWORD value = attributes & kSettableAttributes;
    if (value == 0)
        value = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesA(path.c_str(), value) || Fail();
}

bool SetFileTimes(const std::string& path, const LocalDateTime& modified) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(modified.year);
    local.wMonth = static_cast<WORD>(modified.month);
    local.wDay = static_cast<WORD>(modified.day);
    local.wHour = static_cast<WORD>(modified.hour);
    local.wMinute = static_cast<WORD>(modified.minute);
    local.wSecond = static_cast<WORD>(modified.second);
    FILETIME localTime{}, utcTime{}, now{};
    if (!::SystemTimeToFileTime(&local, &localTime) ||
        !::LocalFileTimeToFileTime(&localTime, &utcTime))
        return Fail();
    ::GetSystemTimeAsFileTime(&now);
    HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail();
    const bool ok = ::SetFileTime(file, &now, &now, &utcTime) || Fail();
    ::CloseHandle(file);
    return ok;
}

bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data{};
    HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND || Fail();
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        entries.push_back({name, data.dwFileAttributes});
    } while (::FindNextFileA(find, &data));
    const DWORD error = ::GetLastError();
    ::FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        RecordFileError(static_cast<int>(error));
        return false;
    }
    return true;
}

namespace {
bool RemoveTreeAt(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || Fail();
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesA(path.c_str(),
                             attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ::DeleteFileA(path.c_str()) || Fail();
    bool ok = true;
    // A junction or directory link is removed as a link; what it points to stays.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::vector<DirectoryEntry> entries;
        ok = ListDirectory(path, entries);
        for (const DirectoryEntry& entry : entries)
            ok = RemoveTreeAt(path + "\\" + entry.name) && ok;
    }
    return (::RemoveDirectoryA(path.c_str()) || Fail()) && ok;
}
} // namespace

bool RemoveTree(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return RemoveTreeAt(path);
}

bool InputFile::Open(const std::string& path) {
    Close();
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail();
    m_handle = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool InputFile::Read(void* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (m_handle == -1)
        return false;
    HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    char* p = static_cast<char*>(buffer);
    while (got < size) {
        const std::size_t want = size - got;
        const DWORD piece = want > 0x40000000u ? 0x40000000u : static_cast<DWORD>(want);
        DWORD n = 0;
        if (!::ReadFile(file, p + got, piece, &n, nullptr))
            return Fail();
        if (n == 0)
            break;
        got += n;
    }
    return true;
}

bool InputFile::Seek(std::uint64_t position) {
    if (m_handle == -1)
        return false;
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(reinterpret_cast<HANDLE>(m_handle), distance, nullptr, FILE_BEGIN) ||
           Fail();
}

bool InputFile::Size(std::uint64_t& size) const {
    LARGE_INTEGER value{};
    if (m_handle == -1 || !::GetFileSizeEx(reinterpret_cast<HANDLE>(m_handle), &value))
        return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

void InputFile::Close() {
    if (m_handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = -1;
}

bool StagedFile::Create(const std::string& finalPath) {
    Discard();
    m_finalPath = finalPath;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        m_stagePath = StageName(finalPath, attempt);
        HANDLE file = ::CreateFileA(m_stagePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_handle = reinterpret_cast<std::intptr_t>(file);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    Fail();
    m_stagePath.clear();
    return false;
}

bool StagedFile::Write(const void* data, std::size_t size) {
    if (m_handle == -1)
        return false;
    HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD piece = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, p, piece, &written, nullptr) || written == 0)
            return Fail();
        p += written;
        size -= written;
    }
    return true;
}

bool StagedFile::CloseHandle() {
    if (m_handle == -1)
        return true;
    HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    m_handle = -1;
    return ::CloseHandle(file) || Fail();
}

bool StagedFile::Commit() {
    if (m_stagePath.empty())
        return false;
    bool ok = CloseHandle();
    if (ok && !::MoveFileExA(m_stagePath.c_str(), m_finalPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        ok = Fail();
    if (!ok)
        ::DeleteFileA(m_stagePath.c_str());
    m_stagePath.clear();
    return ok;
}

void StagedFile::Discard() {
    CloseHandle();
    if (!m_stagePath.empty())
        ::DeleteFileA(m_stagePath.c_str());
    m_stagePath.clear();
}

bool StagedFile::IsOpen() const {
    return m_handle != -1;
}

} // namespace tarnvale::platform
