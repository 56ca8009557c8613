#include "platform/TransferLimits.h"

#include <atomic>

namespace tarnvale::platform {
namespace {

std::atomic<int> g_stallSeconds{TransferLimits{}.stallSeconds};
std::atomic<int> g_minimumBytesPerSecond{TransferLimits{}.minimumBytesPerSecond};

} // namespace

TransferLimits CurrentTransferLimits() {
    return {g_stallSeconds.load(), g_minimumBytesPerSecond.load()};
}

void SetTransferLimits(const TransferLimits& limits) {
    g_stallSeconds = limits.stallSeconds < 1 ? 1 : limits.stallSeconds;
    g_minimumBytesPerSecond = limits.minimumBytesPerSecond < 1 ? 1 : limits.minimumBytesPerSecond;
}

StallWatch::StallWatch(const TransferLimits& limits, std::uint32_t startMs)
    : m_windowMs(static_cast<std::uint32_t>(limits.stallSeconds) * 1000u),
      m_minimumPerWindow(static_cast<std::uint64_t>(limits.minimumBytesPerSecond) *
                         static_cast<std::uint64_t>(limits.stallSeconds)),
      m_windowStart(startMs) {}

bool StallWatch::Progress(std::uint64_t total, std::uint32_t nowMs) {
    // Unsigned difference: correct across the clock's wrap.
    if (nowMs - m_windowStart < m_windowMs)
        return true;
    if (total - m_windowStartBytes < m_minimumPerWindow)
        return false;
    m_windowStart = nowMs;
    m_windowStartBytes = total;
    return true;
}

} // namespace tarnvale::platform
