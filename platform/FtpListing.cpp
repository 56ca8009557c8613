// Reading FTP directory listings. WinINet does this itself on Windows; the POSIX
// client hands the raw LIST reply to ParseFtpListing. Both share the pattern match
// and the rule that names too long for a listing slot are left out.
#include "platform/FtpClient.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace tarnvale::platform {
namespace {

struct Token {
    std::string_view text;
    std::size_t end; // offset just past the token in its line
};

std::vector<Token> Tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            tokens.push_back({line.substr(start, i - start), i});
    }
    return tokens;
}

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (const char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Sizes of more than 19 digits cannot be real; such lines are treated as junk.
bool ParseSize(std::string_view s, std::uint64_t& value) {
    if (!AllDigits(s) || s.size() > 19)
        return false;
    value = 0;
    for (const char c : s)
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return true;
}

bool IsMonth(std::string_view s) {
    static constexpr std::array<const char*, 12> months = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() != 3)
        return false;
    for (const char* month : months) {
        bool same = true;
        for (std::size_t i = 0; i < 3; ++i)
            same = same && std::tolower(static_cast<unsigned char>(s[i])) == month[i];
        if (same)
            return true;
    }
    return false;
}

// "10:30" or "2023": the last field of an "ls -l" date.
bool IsTimeOrYear(std::string_view s) {
    const std::size_t colon = s.find(':');
    if (colon == std::string_view::npos)
        return s.size() == 4 && AllDigits(s);
    return colon >= 1 && colon <= 2 && AllDigits(s.substr(0, colon)) && s.size() - colon - 1 == 2 &&
           AllDigits(s.substr(colon + 1));
}

bool IsDay(std::string_view s) {
    return !s.empty() && s.size() <= 2 && AllDigits(s);
}

void Accept(FtpEntry entry, std::vector<FtpEntry>& entries, std::size_t& skippedLongNames) {
    if (entry.name.empty())
        return;
    if (entry.name.size() > kFtpMaxNameLength) {
        ++skippedLongNames;
        return;
    }
    entries.push_back(std::move(entry));
}

// "drwxr-xr-x  2 owner group  4096 Jan 15 10:30 name". Owner, group and link count
// are optional, so the date (month, day, time or year) anchors the line: the size
// stands right before it and the name follows it after one space.
bool ParseUnixLine(std::string_view line, const std::vector<Token>& tokens, FtpEntry& entry) {
    const std::string_view perms = tokens[0].text;
    if (perms.size() < 10 || std::strchr("-dlbcps", perms[0]) == nullptr)
        return false;
    for (std::size_t i = 2; i + 2 < tokens.size(); ++i) {
        if (!IsMonth(tokens[i].text) || !IsDay(tokens[i + 1].text) ||
            !IsTimeOrYear(tokens[i + 2].text))
            continue;
        if (!ParseSize(tokens[i - 1].text, entry.size))
            return false;
        const std::size_t nameStart = tokens[i + 2].end + 1;
        if (nameStart >= line.size())
            return false;
        std::string_view name = line.substr(nameStart);
        if (perms[0] == 'l') {
            const std::size_t arrow = name.find(" -> ");
            if (arrow != std::string_view::npos)
                name = name.substr(0, arrow);
        }
        entry.name.assign(name);
        const bool readOnly = perms[2] != 'w';
        if (perms[0] == 'd')
            entry.attributes = kFtpAttributeDirectory | (readOnly ? kFtpAttributeReadOnly : 0u);
        else
            entry.attributes = readOnly ? kFtpAttributeReadOnly : kFtpAttributeNormal;
        return true;
    }
    return false;
}

// "01-15-24  10:30AM       <DIR>          name" or "01-15-2024  10:30  1234 name".
bool ParseDosLine(std::string_view line, const std::vector<Token>& tokens, FtpEntry& entry) {
    if (tokens.size() < 4)
        return false;
    const std::string_view date = tokens[0].text;
    if (date.size() < 8 || !std::isdigit(static_cast<unsigned char>(date[0])) ||
        (date[2] != '-' && date[2] != '/'))
        return false;
    const std::string_view time = tokens[1].text;
    if (time.find(':') == std::string_view::npos ||
        !std::isdigit(static_cast<unsigned char>(time[0])))
        return false;
    const std::string_view kind = tokens[2].text;
    if (kind == "<DIR>") {
        entry.attributes = kFtpAttributeDirectory;
        entry.size = 0;
    } else if (ParseSize(kind, entry.size)) {
        entry.attributes = kFtpAttributeNormal;
    } else {
        return false;
    }
    std::size_t nameStart = tokens[2].end;
    while (nameStart < line.size() && (line[nameStart] == ' ' || line[nameStart] == '\t'))
        ++nameStart;
    entry.name.assign(line.substr(nameStart));
    return true;
}

bool CharsEqual(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

} // namespace

bool FtpPatternMatches(const std::string& pattern, const std::string& name) {
    if (pattern.empty() || pattern == "*" || pattern == "*.*")
        return true;
    // Iterative wildcard match: on a mismatch, let the last "*" swallow one more
    // character and try again from there.
    std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || CharsEqual(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

void ParseFtpListing(const std::string& text, std::vector<FtpEntry>& entries,
                     std::size_t& skippedLongNames) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<Token> tokens = Tokenize(line);
        if (tokens.size() < 4)
            continue;
        FtpEntry entry;
        if (ParseUnixLine(line, tokens, entry) || ParseDosLine(line, tokens, entry))
            Accept(std::move(entry), entries, skippedLongNames);
    }
}

} // namespace tarnvale::platform
