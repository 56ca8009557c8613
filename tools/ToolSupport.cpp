#include "tools/ToolSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace tarnvale::tools {
namespace fs = std::filesystem;

bool WantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

int PrintUsage(const char* usage, bool asked, const char* tool, const std::string& problem) {
    if (asked) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (tool && !problem.empty())
        std::fprintf(stderr, "%s: %s\n", tool, problem.c_str());
    std::fputs(usage, stderr);
    return 2;
}

namespace {

// The system's reason for the last failed open or read, when it left one.
std::string SystemReason(int error, const char* fallback) {
    return error ? std::string(std::strerror(error)) : std::string(fallback);
}

} // namespace

std::string WhyUnreadable(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        if (fs::is_symlink(fs::symlink_status(path, ec)))
            return "is a broken symbolic link";
        return "does not exist";
    }
    if (status.type() == fs::file_type::directory)
        return "is a folder";
    if (status.type() != fs::file_type::regular && status.type() != fs::file_type::unknown &&
        status.type() != fs::file_type::none)
        return "is not a regular file";
    std::ifstream in;
    return OpenForReading(path, in);
}

std::string OpenForReading(const fs::path& path, std::ifstream& in) {
    errno = 0;
    in.open(path, std::ios::binary);
    return in.is_open() ? std::string() : SystemReason(errno, "cannot be opened");
}

bool ReadToolFile(const fs::path& path, std::string& contents, std::string& why) {
    why = WhyUnreadable(path);
    if (!why.empty())
        return false;
    std::ifstream in;
    why = OpenForReading(path, in);
    if (!why.empty())
        return false;
    contents.clear();
    char buffer[65536];
    errno = 0;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        contents.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        why = "read error: " + SystemReason(errno, "the system gave no reason");
        return false;
    }
    return true;
}

namespace {

// The length of the well-formed UTF-8 sequence of two to four bytes at the start
// of `text`, or 0.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

std::string Printable(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += text[i++];
            continue;
        }
        if (const std::size_t length = Utf8SequenceLength(text.substr(i))) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        out += escaped;
        ++i;
    }
    return out;
}

std::string Counted(std::size_t count, std::string_view noun) {
    std::string text = std::to_string(count) + " " + std::string(noun);
    if (count != 1)
        text += 's';
    return text;
}

} // namespace tarnvale::tools
