#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file form of one registry root on systems without a registry. It is a text
// file an operator can read:
//
//   tarnvale-registry-hive 1
//   ["SOFTWARE\\Qorvex\\VEY\\Config"]
//   "ID"=sz:"player"
//   "WindowMode"=dword:00000000
//   end
//
// Names and texts are quoted; inside the quotes "\\", "\"" and "\xHH" escapes stand
// for a backslash, a quote and any byte outside printable ASCII. The "end" line
// tells a complete file from a cut one. Anything else is a damaged file, and the
// whole file is refused rather than half read.
namespace tarnvale::platform::hive {

struct Value {
    std::string name;
    std::uint32_t type = 0; // kRegSz or kRegDword
    std::string data;       // REG_SZ: the text without its terminating zero; REG_DWORD: 4 bytes
};

struct Key {
    std::string path;
    std::vector<Value> values;
};

struct Hive {
    std::vector<Key> keys;

    // Lookups compare without regard to ASCII letter case.
    Key* FindKey(const std::string& path);
    const Key* FindKey(const std::string& path) const;
    // Adds the key and its missing parents; returns the key.
    Key& AddKey(const std::string& path);
    // Removes a key without subkeys; false when missing or when it has subkeys.
    bool RemoveKey(const std::string& path);
};

Value* FindValue(Key& key, const std::string& name);
const Value* FindValue(const Key& key, const std::string& name);
void SetValue(Key& key, const std::string& name, std::uint32_t type, const std::string& data);

// A usable key path: non-empty parts separated by single "\", no zero bytes.
bool IsValidPath(const std::string& path);

// Reads a hive file. False with a one-line reason (and `hive` untouched) when the
// bytes are not a complete, well-formed hive.
bool Parse(const std::string& bytes, Hive& hive, std::string& error);
std::string Serialize(const Hive& hive);

} // namespace tarnvale::platform::hive
