#include "platform/MillisecondClock.h"

#include <time.h>

namespace tarnvale::platform {

std::uint32_t TimeGetTime() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms); // wraps at 2^32 like timeGetTime
}

} // namespace tarnvale::platform
