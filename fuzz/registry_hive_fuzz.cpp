// Reads arbitrary bytes as a registry hive file, as the POSIX registry store does
// with whatever it finds on disk.
#include "platform/RegistryHive.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    namespace hive = tarnvale::platform::hive;
    hive::Hive parsed;
    std::string error;
    if (!hive::Parse(bytes, parsed, error)) {
        if (error.empty())
            __builtin_trap(); // a refusal always says why
        return 0;
    }
    // What was accepted is written back in a form that reads back the same.
    const std::string written = hive::Serialize(parsed);
    hive::Hive again;
    if (!hive::Parse(written, again, error) || hive::Serialize(again) != written)
        __builtin_trap();
    // Deleting and adding keys keeps the hive writable.
    if (!parsed.keys.empty()) {
        const std::string path = parsed.keys.front().path;
        parsed.RemoveKey(path);
        parsed.AddKey(path + "\\x");
        if (!hive::Parse(hive::Serialize(parsed), again, error))
            __builtin_trap();
    }
    return 0;
}
