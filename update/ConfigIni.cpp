#include "update/ConfigIni.h"

#include "platform/Files.h"

namespace tarnvale::ini {
namespace {

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

// The file split into its byte-order mark and its text. Text is kept as code units
// (bytes, or 16-bit units of a UTF-16 file) so that one scanner serves both.
struct Decoded {
    Encoding encoding = Encoding::Ansi;
    std::string mark;
    std::string narrow;
    std::u16string wide;
};

Decoded Decode(std::string_view bytes) {
    Decoded d;
    auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
    if (starts("\xEF\xBB\xBF")) {
        d.encoding = Encoding::Utf8;
        d.mark = bytes.substr(0, 3);
        d.narrow = bytes.substr(3);
    } else if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        const bool little = bytes[0] == '\xFF';
        d.encoding = little ? Encoding::Utf16Le : Encoding::Utf16Be;
        d.mark = bytes.substr(0, 2);
        // A trailing odd byte is not part of any unit and is dropped.
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto b0 = static_cast<unsigned char>(bytes[i]);
            const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
            d.wide.push_back(static_cast<char16_t>(little ? (b1 << 8) | b0 : (b0 << 8) | b1));
        }
    } else {
        d.narrow = bytes;
    }
    return d;
}

std::string Encode(const Decoded& d) {
    if (d.encoding == Encoding::Ansi || d.encoding == Encoding::Utf8)
        return d.mark + d.narrow;
    std::string bytes = d.mark;
    for (const char16_t unit : d.wide) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        if (d.encoding == Encoding::Utf16Le) {
            bytes += low;
            bytes += high;
        } else {
            bytes += high;
            bytes += low;
        }
    }
    return bytes;
}

template <class Unit> unsigned Code(Unit u) {
    if constexpr (sizeof(Unit) == 1)
        return static_cast<unsigned char>(u);
    else
        return static_cast<unsigned>(u);
}

template <class Unit> bool IsSpace(Unit u) {
    const unsigned c = Code(u);
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A;
}

template <class Unit> unsigned FoldCase(Unit u) {
    const unsigned c = Code(u);
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// Names compare as zero-terminated texts: a zero unit inside a line ends the name.
template <class Unit>
bool NameEquals(const std::basic_string<Unit>& text, std::size_t begin, std::size_t end,
                std::string_view wanted) {
    std::size_t i = 0;
    for (; begin + i < end && Code(text[begin + i]) != 0; ++i) {
        if (i >= wanted.size() || FoldCase(text[begin + i]) != FoldCase(wanted[i]))
            return false;
    }
    return i == wanted.size();
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Where the wanted section and key stand in the text.
struct Location {
    bool sectionFound = false;
    std::size_t insertAt = 0;        // just after the section's last non-blank line
    bool insertNeedsLineEnd = false; // that line is the file's last and has no line end
    bool keyFound = false;
    bool hasValue = false;      // the key's line holds "="
    std::size_t valueBegin = 0; // the value, without the blanks around it
    std::size_t valueEnd = 0;
};

template <class Unit> bool IsLineEnd(Unit u) {
    return Code(u) == '\n' || Code(u) == '\r';
}

// Narrows [begin, end) of `text` to leave out the blanks at both ends.
template <class Unit>
void TrimBlanks(const std::basic_string<Unit>& text, std::size_t& begin, std::size_t& end) {
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
}

// Lines end at "\r", "\n" or "\r\n"; keys before the first section header belong to
// a section without a name.
template <class Unit>
Location Locate(const std::basic_string<Unit>& text, std::string_view section,
                std::string_view key) {
    Location at;
    bool inSection = section.empty();
    at.sectionFound = inSection;
    std::size_t pos = 0;
    const std::size_t size = text.size();
    while (pos < size) {
        std::size_t contentEnd = pos;
        while (contentEnd < size && !IsLineEnd(text[contentEnd]))
            ++contentEnd;
        // The line's own terminator ends where a new line after it would go.
        std::size_t lineEnd = contentEnd;
        if (lineEnd < size) {
            const bool crlf = Code(text[lineEnd]) == '\r' && lineEnd + 1 < size &&
                              Code(text[lineEnd + 1]) == '\n';
            lineEnd += crlf ? 2 : 1;
        }
        std::size_t begin = pos;
        std::size_t end = contentEnd;
        pos = lineEnd;
        TrimBlanks(text, begin, end);
        if (begin >= end)
            continue;

        if (Code(text[begin]) == '[') {
            std::size_t close = end;
            while (close > begin && Code(text[close - 1]) != ']')
                --close;
            if (close > begin) {
                // close - 1 is the last "]" of the line; the name lies between,
                // without the blanks around it.
                std::size_t nameBegin = begin + 1;
                std::size_t nameEnd = close - 1;
                TrimBlanks(text, nameBegin, nameEnd);
                inSection = false;
                if (!at.sectionFound && NameEquals(text, nameBegin, nameEnd, section)) {
                    at.sectionFound = true;
                    inSection = true;
                    at.insertAt = lineEnd;
                    at.insertNeedsLineEnd = contentEnd == size;
                }
                continue;
            }
            // No "]" at all: an ordinary line of the current section.
        }

        if (!inSection)
            continue;
        at.insertAt = lineEnd;
        at.insertNeedsLineEnd = contentEnd == size;
        if (at.keyFound)
            continue;
        std::size_t equals = begin;
        while (equals < end && Code(text[equals]) != '=')
            ++equals;
        std::size_t nameEnd = equals;
        while (nameEnd > begin && IsSpace(text[nameEnd - 1]))
            --nameEnd;
        if (!NameEquals(text, begin, nameEnd, key))
            continue;
        at.keyFound = true;
        at.hasValue = equals < end;
        if (at.hasValue) {
            std::size_t valueBegin = equals + 1;
            while (valueBegin < end && IsSpace(text[valueBegin]))
                ++valueBegin;
            at.valueBegin = valueBegin;
            at.valueEnd = end;
        } else {
            at.valueBegin = at.valueEnd = end;
        }
    }
    return at;
}

// A stored value as the caller's buffer receives it. Matching quotes around the
// value are removed; the closing one is dropped after the copy is cut to the
// buffer, exactly as the profile functions do it, so a quoted value that just
// overfills the buffer loses one more character.
std::string CopyEntry(std::string value, std::size_t bufferSize) {
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        quoted = true;
        value.erase(0, 1);
    }
    const std::size_t length = value.size();
    std::string copy = value.substr(0, bufferSize - 1);
    if (quoted && bufferSize >= length && !copy.empty())
        copy.pop_back();
    return copy;
}

template <class Unit>
std::string Narrow(const std::basic_string<Unit>& text, std::size_t begin, std::size_t end) {
    std::string out;
    for (std::size_t i = begin; i < end && Code(text[i]) != 0; ++i) {
        const unsigned c = Code(text[i]);
        out += (sizeof(Unit) == 1 || c < 0x80) ? static_cast<char>(c) : '?';
    }
    return out;
}

template <class Unit>
std::string ReadFrom(const std::basic_string<Unit>& text, std::string_view section,
                     std::string_view key, std::string_view defaultValue, std::size_t bufferSize) {
    // Trailing blanks of the default go, but never its first character.
    std::string fallback(defaultValue);
    while (fallback.size() > 1 && fallback.back() == ' ')
        fallback.pop_back();
    section = Trim(section);
    key = Trim(key);
    const Location at = Locate(text, section, key);
    if (at.keyFound && at.hasValue)
        return CopyEntry(Narrow(text, at.valueBegin, at.valueEnd), bufferSize);
    return CopyEntry(fallback, bufferSize);
}

template <class Unit> std::basic_string<Unit> Widen(std::string_view s) {
    std::basic_string<Unit> out;
    for (const char c : s)
        out.push_back(static_cast<Unit>(static_cast<unsigned char>(c)));
    return out;
}

// New lines end like the file's first line; CRLF in a file without line ends.
template <class Unit> std::basic_string<Unit> LineEndOf(const std::basic_string<Unit>& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Code(text[i]) == '\n')
            return Widen<Unit>("\n");
        if (Code(text[i]) == '\r')
            return Widen<Unit>(i + 1 < text.size() && Code(text[i + 1]) == '\n' ? "\r\n" : "\r");
    }
    return Widen<Unit>("\r\n");
}

template <class Unit>
void SetIn(std::basic_string<Unit>& text, std::string_view section, std::string_view key,
           std::string_view value) {
    const Location at = Locate(text, section, key);
    const std::basic_string<Unit> wideValue = Widen<Unit>(value);
    const std::basic_string<Unit> lineEnd = LineEndOf(text);
    if (at.keyFound && at.hasValue) {
        text.replace(at.valueBegin, at.valueEnd - at.valueBegin, wideValue);
    } else if (at.keyFound) {
        text.insert(at.valueEnd, Widen<Unit>("=") + wideValue);
    } else if (at.sectionFound) {
        std::basic_string<Unit> line;
        if (at.insertNeedsLineEnd)
            line += lineEnd;
        line += Widen<Unit>(key) + Widen<Unit>("=") + wideValue + lineEnd;
        text.insert(at.insertAt, line);
    } else {
        std::basic_string<Unit> block;
        if (!text.empty() && !IsLineEnd(text.back()))
            block += lineEnd;
        bool blank = true;
        for (const Unit u : text)
            blank = blank && IsSpace(u);
        if (!blank)
            block += lineEnd; // one empty line between sections
        block += Widen<Unit>("[") + Widen<Unit>(section) + Widen<Unit>("]") + lineEnd;
        block += Widen<Unit>(key) + Widen<Unit>("=") + wideValue + lineEnd;
        text += block;
    }
}

} // namespace

std::string ReadProfileString(std::string_view fileBytes, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize) {
    if (bufferSize == 0)
        return std::string();
    const Decoded d = Decode(fileBytes);
    if (d.encoding == Encoding::Utf16Le || d.encoding == Encoding::Utf16Be)
        return ReadFrom(d.wide, section, key, defaultValue, bufferSize);
    return ReadFrom(d.narrow, section, key, defaultValue, bufferSize);
}

std::string ReadProfileStringFromFile(const std::string& path, std::string_view section,
                                      std::string_view key, std::string_view defaultValue,
                                      std::size_t bufferSize) {
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes))
        bytes.clear();
    return ReadProfileString(bytes, section, key, defaultValue, bufferSize);
}

bool SetProfileString(std::string& fileBytes, std::string_view section, std::string_view key,
                      std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    while (!value.empty() && IsSpace(value.front()))
        value.remove_prefix(1);
    // A line break would split the line and a zero byte would end the value early:
    // either would store something other than what was asked for.
    if (section.empty() || key.empty() ||
        value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return false;
    if (section.find_first_of(std::string_view("\r\n\0]", 4)) != std::string_view::npos ||
        key.find_first_of(std::string_view("\r\n\0=", 4)) != std::string_view::npos)
        return false;
    Decoded d = Decode(fileBytes);
    if (d.encoding == Encoding::Utf16Le || d.encoding == Encoding::Utf16Be)
        SetIn(d.wide, section, key, value);
    else
        SetIn(d.narrow, section, key, value);
    fileBytes = Encode(d);
    return true;
}

bool WriteProfileStringToFile(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view value) {
    return WriteProfileStringsToFile(path, section, {{key, value}});
}

bool WriteProfileStringsToFile(const std::string& path, std::string_view section,
                               const std::vector<ProfileEntry>& entries) {
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        // Only a missing file may start empty; one that exists but cannot be read
        // must not be replaced by a file holding just this key.
        if (platform::PathExists(path))
            return false;
        bytes.clear();
    }
    std::string updated = bytes;
    for (const ProfileEntry& entry : entries) {
        if (!SetProfileString(updated, section, entry.key, entry.value))
            return false;
    }
    if (updated == bytes && platform::PathExists(path))
        return true;
    return platform::WriteWholeFile(path, updated);
}

} // namespace tarnvale::ini
