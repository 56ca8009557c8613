#pragma once

#include <cstdint>

namespace tarnvale::platform {

// Milliseconds since the system started, wrapping at 2^32 (timeGetTime on
// Windows). On POSIX the monotonic clock truncated to 32 bits: every process on the
// machine reads the same clock, which the launcher and the game client rely on when
// they compare time stamps.
std::uint32_t TimeGetTime();

} // namespace tarnvale::platform
