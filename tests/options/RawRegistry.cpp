#include "RawRegistry.h"

namespace tarnvale::test {

std::optional<std::uint32_t> RawDword(const std::string& hiveFile, const std::string& keyPath,
                                      const char* name) {
    const std::optional<RawValue> value = ReadRawValue(hiveFile, keyPath, name);
    if (!value || value->type != 4 || value->data.size() != 4)
        return std::nullopt;
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number << 8 | static_cast<unsigned char>(value->data[static_cast<size_t>(i)]);
    return number;
}

std::optional<std::string> RawString(const std::string& hiveFile, const std::string& keyPath,
                                     const char* name) {
    const std::optional<RawValue> value = ReadRawValue(hiveFile, keyPath, name);
    if (!value || value->type != 1)
        return std::nullopt;
    return value->data.substr(0, value->data.find('\0'));
}

} // namespace tarnvale::test
