#include "platform/ProgramStart.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace tarnvale::platform {
namespace {

// The shell's result for the reason posix_spawn gives, so the caller reports a
// failed start the same way on every system.
std::intptr_t StartResult(int error) {
    switch (error) {
    case 0:
        return kStartSucceeded;
    case ENOMEM:
    case EAGAIN:
    case E2BIG:
        return kStartOutOfResources;
    case ENOENT:
        return kStartFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return kStartPathNotFound;
    case EACCES:
    case EPERM:
        return kStartAccessDenied;
    case ENOEXEC:
    case EISDIR:
        return kStartBadFormat;
    default:
        return kStartOtherFailure;
    }
}

} // namespace

std::intptr_t StartProgram(const char* file, const std::string& parameters) {
    // The program lies in the game folder, the current directory; a bare name must
    // not be looked up along PATH.
    const std::string path = std::strchr(file, '/') ? std::string(file) : "./" + std::string(file);
    std::string name = file;
    std::string argument = parameters;
    char* argv[] = {name.data(), argument.data(), nullptr};
    pid_t pid = 0;
    // The launcher ends right after the start; the child is inherited by the system.
    return StartResult(::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ));
}

void EndProcess(unsigned exitCode) {
    std::fflush(nullptr);
    ::_exit(static_cast<int>(exitCode));
}

} // namespace tarnvale::platform
