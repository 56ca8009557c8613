#pragma once

#include "update/ClientVersion.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The value forms of the connect server's configuration file, each read on its
// own so that the reader only has to say which key takes which form.
namespace tarnvale::connectserver::values {

std::string_view Trim(std::string_view text);

// A piece of a value: text as written in the file (UTF-8), or bytes given by
// \xNN escapes, which are already in the players' code page.
struct Piece {
    bool bytes = false;
    std::string text;
};

// A value is taken as it stands, or between double quotes, where \" \\ and \xNN
// (a byte, for names in the players' code page) are understood.
bool UnquotePieces(std::string_view raw, std::vector<Piece>& pieces, std::string& error);
std::string Joined(const std::vector<Piece>& pieces);
// The value in the players' code page: written text converted, escaped bytes kept.
bool InCodePage(const std::vector<Piece>& pieces, unsigned codePage, std::string& out,
                std::string& unwritable);

bool ParsePort(const std::string& text, std::uint16_t& port, bool allowZero);
// A decimal number from 0 to `most` written without leading zeros ("0" itself is
// one), as addresses and ports are written on the wire. `most` stays far below the
// largest unsigned long.
bool ParsePlainNumber(std::string_view text, unsigned long most, unsigned long& value);
// Whether `text` is a dotted IPv4 address: four numbers 0 to 255, none with a
// leading zero. Systems differ on "010" (octal 8 to some, an error to others), so
// such an address is refused rather than read one way here and another there.
bool IsDottedIpv4(std::string_view text);
bool ParseVersion(const std::string& text, ClientVersion& version);
// A whole number from 0 to `most`.
bool ParseCount(const std::string& text, std::size_t most, std::size_t& count);
// Seconds with up to three decimals ("5", "0.25"), from 0 to a day, in milliseconds.
bool ParseSeconds(const std::string& text, int& milliseconds);
// "yes"/"on"/"true" or "no"/"off"/"false".
bool ParseSwitch(const std::string& text, bool& on);

// Copies `value` into a zero-terminated field; says which field is too long.
template <std::size_t N>
bool PutText(const std::string& value, char (&field)[N], const char* what, std::string& error) {
    if (value.size() > N - 1 || value.find('\0') != std::string::npos) {
        error = std::string(what) + " is longer than " + std::to_string(N - 1) + " bytes";
        return false;
    }
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), value.size());
    return true;
}

} // namespace tarnvale::connectserver::values
