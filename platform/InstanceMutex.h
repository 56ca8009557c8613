#pragma once

#include <memory>

// The named single-instance mutex: a named kernel mutex on Windows, a lock file
// held with flock on POSIX, where the current directory (the game folder) is
// locked too, so that launchers started with different environments still never
// share one game folder. Either way the system releases it when the process ends.
namespace tarnvale::platform {

class InstanceMutex {
  public:
    InstanceMutex();
    ~InstanceMutex();
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    // Creates (or opens) the mutex and takes it. Returns true when another process
    // already held or created it.
    bool Create(const char* name);
    // Leaves the mutex held until the process ends, as the launcher does.
    void KeepForProcessLifetime();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tarnvale::platform
