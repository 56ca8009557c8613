#include "platform/MillisecondClock.h"

#include <windows.h>

#include <mmsystem.h>

namespace tarnvale::platform {

std::uint32_t TimeGetTime() {
    return ::timeGetTime();
}

} // namespace tarnvale::platform
