#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// What every operator tool does alike: help on request, clear reasons when a file
// cannot be used, and texts from files shown without raw control bytes.
namespace tarnvale::tools {

// Whether the arguments ask for help: "--help" or "-h" anywhere.
bool WantsHelp(int argc, char** argv);

// Prints `usage` on standard output (asked for) and returns 0, or on standard
// error (wrong use) and returns 2. With `problem`, "tool: problem" comes first on
// standard error.
int PrintUsage(const char* usage, bool asked, const char* tool = nullptr,
               const std::string& problem = std::string());

// Why `path` cannot be read as a regular file ("does not exist", "is a folder",
// "is not a regular file", or the system's reason); empty when it can be.
std::string WhyUnreadable(const std::filesystem::path& path);

// Opens `path` for binary reading; the system's reason when it cannot.
std::string OpenForReading(const std::filesystem::path& path, std::ifstream& in);

// Reads a whole regular file; on failure `why` says why.
bool ReadToolFile(const std::filesystem::path& path, std::string& contents, std::string& why);

// The text with control bytes, the backslash and every byte that is not part of
// well-formed UTF-8 written as \xNN, so that a damaged or binary file cannot
// garble a terminal or a log while operators' UTF-8 names still read as written.
std::string Printable(std::string_view text);

// "1 version", "2 versions": a count with its noun, plural when it is not one.
std::string Counted(std::size_t count, std::string_view noun);

} // namespace tarnvale::tools
