#include "app/CommandLine.h"

#include "update/ClientVersion.h"

#include <cctype>
#include <string>

namespace tarnvale {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view NextWord(std::string_view& rest) {
    size_t start = 0;
    while (start < rest.size() && IsBlank(rest[start]))
        ++start;
    size_t end = start;
    while (end < rest.size() && !IsBlank(rest[end]))
        ++end;
    std::string_view word = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return word;
}

bool SwitchIs(std::string_view word, char letter) {
    return word.size() == 2 && word[0] == '/' &&
           std::tolower(static_cast<unsigned char>(word[1])) == letter;
}

} // namespace

void ApplyCommandLine(std::string_view commandLine, LauncherState& state) {
    std::string_view rest = commandLine;
    const std::string_view first = NextWord(rest);
    if (SwitchIs(first, 't')) {
        state.launchMode = kLaunchTest;
        state.testServerFlag = 1;
    } else if (SwitchIs(first, 'r')) {
        state.launchMode = kLaunchNormal;
        state.testServerFlag = 0;
    } else if (SwitchIs(first, 'l')) {
        // The version word is read into a 256-byte buffer: at most 255 characters.
        const std::string_view word = NextWord(rest).substr(0, 255);
        const ClientVersion version = ParseVersionReadForm(word);
        state.overrideVersion[0] = version.major;
        state.overrideVersion[1] = version.minor;
        state.overrideVersion[2] = version.build;
        state.launchMode = kLaunchOverride;
    }
}

} // namespace tarnvale
