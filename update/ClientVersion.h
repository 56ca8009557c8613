#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnvale {

// The installed game client's version: three bytes, ordered by their packed value.
struct ClientVersion {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t build = 0;

    std::int32_t Packed() const { return major * 65536 + minor * 256 + build; }
    friend bool operator==(const ClientVersion&, const ClientVersion&) = default;
};

// Read form: pieces split at "." (a run of dots counts as one), each read as a
// decimal integer (leading non-digits give 0, digits stop at the first non-digit)
// and kept to its low 8 bits; missing pieces are 0.
ClientVersion ParseVersionReadForm(std::string_view text);
// "%d.%02d.%02d", as written to config.ini.
std::string FormatConfigForm(const ClientVersion& version);
// "%d.%d.%d", as written to patch.log.
std::string FormatLogForm(const ClientVersion& version);

} // namespace tarnvale
