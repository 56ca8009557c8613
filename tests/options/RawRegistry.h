#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnvale::test {

// A per-user registry value read past the launcher's own registry code: through
// the Win32 API on Windows, straight from the hive file elsewhere. Tests use it to
// see what the game client will find.
struct RawValue {
    std::uint32_t type = 0; // REG_SZ 1, REG_DWORD 4
    std::string data;       // the stored bytes; REG_SZ includes its terminating zero
                            // on Windows (the hive file keeps texts without it)
};

// `hiveFile` is the per-user hive file (ignored on Windows). Nothing when the
// value or its key is missing.
std::optional<RawValue> ReadRawValue(const std::string& hiveFile, const std::string& keyPath,
                                     const char* name);

// The value as a DWORD, or nothing when it is missing or not a DWORD.
std::optional<std::uint32_t> RawDword(const std::string& hiveFile, const std::string& keyPath,
                                      const char* name);
// The value as a text without its terminating zero, or nothing when it is missing
// or not a REG_SZ.
std::optional<std::string> RawString(const std::string& hiveFile, const std::string& keyPath,
                                     const char* name);

// A per-user key path under `base` that the registry refuses to create: on
// Windows a key below a volatile key (which may only have volatile children), on
// other systems a path with an empty part.
std::string UncreatableKeyPath(const std::string& base);

} // namespace tarnvale::test
