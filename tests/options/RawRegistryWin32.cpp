#include "RawRegistry.h"

#include <vector>
#include <windows.h>

namespace tarnvale::test {

// Read as a 64-bit program reads without asking for a view: per-user software
// keys are shared by both views, so a 32-bit game client finds the same values.
std::optional<RawValue> ReadRawValue(const std::string&, const std::string& keyPath,
                                     const char* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<RawValue> result;
    if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> bytes(size);
        if (::RegQueryValueExA(key, name, nullptr, &type, bytes.data(), &size) == ERROR_SUCCESS)
            result = RawValue{type, std::string(bytes.begin(), bytes.begin() + size)};
    }
    ::RegCloseKey(key);
    return result;
}

std::string UncreatableKeyPath(const std::string& base) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        ::RegCloseKey(key);
    return base + "\\Child";
}

} // namespace tarnvale::test
