#include "platform/Registry.h"

#include <cstring>
#include <vector>
#include <windows.h>

namespace tarnvale::platform {
namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Keys are opened in the 32-bit view of the registry, so that this 64-bit program
// and a 32-bit game client reading the same path meet at the same key. Keys that
// Windows shares between the views are unaffected.
constexpr REGSAM kAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;

} // namespace

struct RegistryKey::Impl {
    HKEY key = nullptr;
};

RegistryKey::RegistryKey() : m_impl(std::make_unique<Impl>()) {}

RegistryKey::~RegistryKey() {
    Close();
}

bool RegistryKey::Create(RegistryRoot root, const std::string& path, bool* created) {
    Close();
    DWORD disposition = 0;
    if (::RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess,
                          nullptr, &m_impl->key, &disposition) != ERROR_SUCCESS) {
        m_impl->key = nullptr;
        return false;
    }
    if (created)
        *created = disposition == REG_CREATED_NEW_KEY;
    return true;
}

bool RegistryKey::Open(RegistryRoot root, const std::string& path) {
    Close();
    if (::RegOpenKeyExA(RootKey(root), path.c_str(), 0, kAccess, &m_impl->key) != ERROR_SUCCESS) {
        m_impl->key = nullptr;
        return false;
    }
    return true;
}

bool RegistryKey::IsOpen() const {
    return m_impl->key != nullptr;
}

void RegistryKey::Close() {
    if (m_impl->key) {
        ::RegCloseKey(m_impl->key);
        m_impl->key = nullptr;
    }
}

bool RegistryKey::SetString(const char* name, const char* text) {
    return m_impl->key &&
           ::RegSetValueExA(m_impl->key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

bool RegistryKey::SetDword(const char* name, std::uint32_t value) {
    const DWORD data = value;
    return m_impl->key &&
           ::RegSetValueExA(m_impl->key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                            sizeof data) == ERROR_SUCCESS;
}

bool RegistryKey::QueryString(const char* name, std::string& text, std::size_t bufferSize) const {
    if (!m_impl->key || bufferSize == 0)
        return false;
    std::vector<char> buffer(bufferSize);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(bufferSize);
    if (::RegQueryValueExA(m_impl->key, name, nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // A value stored without its terminating zero ends at its size.
    const size_t length = strnlen(buffer.data(), size);
    text.assign(buffer.data(), length);
    return true;
}

bool RegistryKey::QueryDword(const char* name, std::uint32_t& value) const {
    if (!m_impl->key)
        return false;
    DWORD data = 0;
    DWORD type = 0;
    DWORD size = sizeof data;
    if (::RegQueryValueExA(m_impl->key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data)
        return false;
    value = data;
    return true;
}

bool DeleteRegistryKey(RegistryRoot root, const std::string& path) {
    return ::RegDeleteKeyExA(RootKey(root), path.c_str(), KEY_WOW64_32KEY, 0) == ERROR_SUCCESS;
}

std::string RegistryLocation(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

} // namespace tarnvale::platform
