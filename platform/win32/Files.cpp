#include "platform/Files.h"

#include "platform/FileError.h"
#include "platform/FileOps.h"

#include <windows.h>

namespace tarnvale::platform {

std::string NativePath(const std::string& path) {
    return path;
}

bool PathExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS ||
           RecordFileError();
}

bool RemoveEmptyDirectory(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) || RecordFileError();
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileA(path.c_str()) || RecordFileError();
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return RecordFileError();
    contents.clear();
    char buffer[65536];
    DWORD n = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) && n > 0)
        contents.append(buffer, n);
    if (!ok)
        RecordFileError();
    ::CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
    const std::string temp = PartialName(path);
    HANDLE file = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return RecordFileError();
    DWORD written = 0;
    bool ok = (::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                           nullptr) &&
               written == contents.size()) ||
              RecordFileError();
    ok = (::CloseHandle(file) || RecordFileError()) && ok;
    if (ok &&
        (::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) || RecordFileError()))
        return true;
    ::DeleteFileA(temp.c_str());
    return false;
}

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryA(sizeof buffer, buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
}

bool ChangeDirectory(const std::string& path) {
    return ::SetCurrentDirectoryA(path.c_str());
}

std::string ModulePath() {
    char buffer[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
}

} // namespace tarnvale::platform
