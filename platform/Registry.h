#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The registry. On Windows the real one (RegCreateKeyExA and friends); on POSIX a
// file-backed store with one hive file per root under $XDG_CONFIG_HOME/tarnvale/
// (default ~/.config/tarnvale/), holding typed REG_SZ and REG_DWORD values. Key
// paths use "\" between their parts and, like value names, are compared without
// regard to ASCII letter case, as Windows does.
namespace tarnvale::platform {

enum class RegistryRoot {
    CurrentUser,  // HKEY_CURRENT_USER
    LocalMachine, // HKEY_LOCAL_MACHINE
};

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// An open key. Every key is opened with all access; closing happens on destruction.
class RegistryKey {
  public:
    RegistryKey();
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens the key, creating it and any missing parent first (RegCreateKeyExA).
    // `created`, when given, tells whether the key was new. False when the key can
    // be neither opened nor created (no rights, damaged hive file, bad path).
    bool Create(RegistryRoot root, const std::string& path, bool* created = nullptr);
    // Opens a key that already exists; false when it is missing or cannot be opened.
    bool Open(RegistryRoot root, const std::string& path);
    bool IsOpen() const;
    void Close();

    // A REG_SZ value: the text and its terminating zero byte.
    bool SetString(const char* name, const char* text);
    // A REG_DWORD value, little-endian.
    bool SetDword(const char* name, std::uint32_t value);
    // A REG_SZ value whose stored bytes fit in `bufferSize` bytes (its terminating
    // zero included); `text` receives the bytes before the first zero. False when
    // the value is missing, of another type or too long.
    bool QueryString(const char* name, std::string& text, std::size_t bufferSize) const;
    // A REG_DWORD value of four bytes; false when missing or of another type or size.
    bool QueryDword(const char* name, std::uint32_t& value) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Removes a key that has no subkeys, together with its values (RegDeleteKeyA).
// False when the key is missing, has subkeys or cannot be removed.
bool DeleteRegistryKey(RegistryRoot root, const std::string& path);

// Where a root's values live, for messages: the hive file on POSIX, the root's
// name on Windows.
std::string RegistryLocation(RegistryRoot root);

} // namespace tarnvale::platform
