#pragma once

#include <cstdint>
#include <string>

namespace tarnvale::platform {

// Start results in the shell's terms: values above 32 mean the program started;
// 0 out of memory or resources, 2 file not found, 3 path not found, 5 access
// denied, 11 not a valid program, 31 any other failure.
inline constexpr std::intptr_t kStartOutOfResources = 0;
inline constexpr std::intptr_t kStartFileNotFound = 2;
inline constexpr std::intptr_t kStartPathNotFound = 3;
inline constexpr std::intptr_t kStartAccessDenied = 5;
inline constexpr std::intptr_t kStartBadFormat = 11;
inline constexpr std::intptr_t kStartOtherFailure = 31;
inline constexpr std::intptr_t kStartSucceeded = 42;

// Starts the program `file` from the current directory with `parameters` and does
// not wait for it. Windows: ShellExecuteA with the verb "open", no owner and no
// working directory, shown normally; `parameters` is the program's command line.
// POSIX: posix_spawn of "./file" (or `file` itself when it holds a "/") with
// `parameters` as its one argument, argv[1], byte for byte.
std::intptr_t StartProgram(const char* file, const std::string& parameters);

// Ends the process at once with `exitCode` (ExitProcess). Standard output is
// flushed first; nothing else runs.
[[noreturn]] void EndProcess(unsigned exitCode);

} // namespace tarnvale::platform
