#include "tools/connectserver/ConfigValues.h"

#include "platform/CodePage.h"
#include "platform/HexDigit.h"

#include <cstdio>

namespace tarnvale::connectserver::values {
namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

bool UnquotePieces(std::string_view raw, std::vector<Piece>& pieces, std::string& error) {
    pieces.clear();
    auto add = [&](bool bytes, char c) {
        if (pieces.empty() || pieces.back().bytes != bytes)
            pieces.push_back({bytes, std::string()});
        pieces.back().text += c;
    };
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') {
        if (!raw.empty())
            pieces.push_back({false, std::string(raw)});
        return true;
    }
    raw = raw.substr(1, raw.size() - 2);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            add(false, raw[i]);
            continue;
        }
        if (i + 1 < raw.size() && (raw[i + 1] == '"' || raw[i + 1] == '\\')) {
            add(false, raw[++i]);
        } else if (i + 3 < raw.size() && raw[i + 1] == 'x' && platform::HexDigit(raw[i + 2]) >= 0 &&
                   platform::HexDigit(raw[i + 3]) >= 0) {
            add(true, static_cast<char>(platform::HexDigit(raw[i + 2]) * 16 +
                                        platform::HexDigit(raw[i + 3])));
            i += 3;
        } else {
            error = "unknown escape in quoted value (use \\\", \\\\ or \\xNN)";
            return false;
        }
    }
    return true;
}

std::string Joined(const std::vector<Piece>& pieces) {
    std::string out;
    for (const Piece& piece : pieces)
        out += piece.text;
    return out;
}

// The first character of UTF-8 `text` that code page `codePage` cannot write,
// as "U+XXXX"; empty when it is not one character's fault.
std::string FirstUnwritable(const std::string& text, unsigned codePage) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        const std::string character = text.substr(i, length);
        std::string converted;
        if (!platform::Utf8ToCodePage(character, codePage, converted)) {
            // Named by its code point: the file's bytes are never echoed raw.
            unsigned long point = length == 1 ? lead : lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < character.size(); ++k)
                point = (point << 6) | (static_cast<unsigned char>(character[k]) & 0x3Fu);
            char name[16];
            std::snprintf(name, sizeof name, "U+%04lX", point);
            return name;
        }
        i += length;
    }
    return std::string();
}

bool InCodePage(const std::vector<Piece>& pieces, unsigned codePage, std::string& out,
                std::string& unwritable) {
    out.clear();
    for (const Piece& piece : pieces) {
        std::string converted;
        if (!piece.bytes && !platform::Utf8ToCodePage(piece.text, codePage, converted)) {
            unwritable = FirstUnwritable(piece.text, codePage);
            return false;
        }
        out += piece.bytes ? piece.text : converted;
    }
    return true;
}

bool ParsePort(const std::string& text, std::uint16_t& port, bool allowZero) {
    if (!AllDigits(text) || text.size() > 5)
        return false;
    const unsigned long value = std::stoul(text);
    if (value > 65535 || (value == 0 && !allowZero))
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool ParsePlainNumber(std::string_view text, unsigned long most, unsigned long& value) {
    if (!AllDigits(text) || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (const char digit : text) {
        value = value * 10 + static_cast<unsigned long>(digit - '0');
        if (value > most)
            return false;
    }
    return true;
}

bool IsDottedIpv4(std::string_view text) {
    unsigned long part = 0;
    for (int parts = 1; parts <= 4; ++parts) {
        const std::size_t dot = text.find('.');
        if (!ParsePlainNumber(text.substr(0, dot), 255, part))
            return false;
        if (dot == std::string_view::npos)
            return parts == 4;
        text.remove_prefix(dot + 1);
    }
    return false;
}

bool ParseVersion(const std::string& text, ClientVersion& version) {
    unsigned a = 0, b = 0, c = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u%c", &a, &b, &c, &extra) != 3 || a > 255 || b > 255 ||
        c > 255)
        return false;
    version = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
               static_cast<std::uint8_t>(c)};
    return true;
}

bool ParseCount(const std::string& text, std::size_t most, std::size_t& count) {
    if (!AllDigits(text) || text.size() > 9)
        return false;
    const unsigned long value = std::stoul(text);
    if (value > most)
        return false;
    count = value;
    return true;
}

bool ParseSeconds(const std::string& text, int& milliseconds) {
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (!AllDigits(whole) || whole.size() > 5 || fraction.size() > 3 ||
        (dot != std::string::npos && !AllDigits(fraction)))
        return false;
    const long seconds = std::stol(whole);
    const long thousandths = fraction.empty() ? 0 : std::stol((fraction + "00").substr(0, 3));
    if (seconds > 86400 || (seconds == 86400 && thousandths > 0))
        return false;
    milliseconds = static_cast<int>(seconds * 1000 + thousandths);
    return true;
}

bool ParseSwitch(const std::string& text, bool& on) {
    if (text == "yes" || text == "on" || text == "true") {
        on = true;
        return true;
    }
    if (text == "no" || text == "off" || text == "false") {
        on = false;
        return true;
    }
    return false;
}

} // namespace tarnvale::connectserver::values
