#include "RawRegistry.h"

#include "platform/RegistryHive.h"
#include "support/TestSupport.h"

namespace tarnvale::test {

std::optional<RawValue> ReadRawValue(const std::string& hiveFile, const std::string& keyPath,
                                     const char* name) {
    platform::hive::Hive hive;
    std::string error;
    if (!platform::hive::Parse(ReadFile(hiveFile), hive, error))
        return std::nullopt;
    const platform::hive::Key* key = hive.FindKey(keyPath);
    const platform::hive::Value* value = key ? platform::hive::FindValue(*key, name) : nullptr;
    if (!value)
        return std::nullopt;
    return RawValue{value->type, value->data};
}

std::string UncreatableKeyPath(const std::string& base) {
    return base + "\\\\Child";
}

} // namespace tarnvale::test
