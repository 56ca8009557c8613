#pragma once

#include <cstdint>

// When a transfer of the update roads is given up as stalled. Every wait of the
// roads has an end: a transfer that moves fewer than `minimumBytesPerSecond` on
// average over `stallSeconds` fails, whether the server has gone silent or
// trickles a byte now and then. The FTP and HTTP clients of both systems apply
// it (libcurl's low-speed limit on POSIX; on Windows the receive time-outs for
// silence and the progress reports for a trickle).
namespace tarnvale::platform {

struct TransferLimits {
    int stallSeconds = 60;
    int minimumBytesPerSecond = 512;
};

// The limits in force for transfers that start from now on. Tests and the
// headless launcher shorten them; the Windows launcher keeps the defaults.
TransferLimits CurrentTransferLimits();
void SetTransferLimits(const TransferLimits& limits);

// Watches one transfer against the limits, for clients that count the bytes
// themselves. The window tumbles: every `stallSeconds` the bytes of the window
// just ended are compared with what the minimum asks for.
class StallWatch {
  public:
    StallWatch(const TransferLimits& limits, std::uint32_t startMs);
    // `total` bytes have arrived by `nowMs` (a millisecond clock that may wrap).
    // False once a whole window has passed with too few bytes.
    bool Progress(std::uint64_t total, std::uint32_t nowMs);

  private:
    std::uint32_t m_windowMs;
    std::uint64_t m_minimumPerWindow;
    std::uint32_t m_windowStart;
    std::uint64_t m_windowStartBytes = 0;
};

} // namespace tarnvale::platform
