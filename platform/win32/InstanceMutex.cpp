#include "platform/InstanceMutex.h"

#include <windows.h>

namespace tarnvale::platform {

struct InstanceMutex::Impl {
    HANDLE handle = nullptr;
    bool keep = false;
};

InstanceMutex::InstanceMutex() : m_impl(std::make_unique<Impl>()) {}

InstanceMutex::~InstanceMutex() {
    if (m_impl->handle && !m_impl->keep)
        ::CloseHandle(m_impl->handle);
}

bool InstanceMutex::Create(const char* name) {
    m_impl->handle = ::CreateMutexA(nullptr, TRUE, name);
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

void InstanceMutex::KeepForProcessLifetime() {
    m_impl->keep = true;
}

} // namespace tarnvale::platform
