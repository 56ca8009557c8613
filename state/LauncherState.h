#pragma once

#include "msg/VeyMsg.h"
#include "transport/SocketClient.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tarnvale {

// One server partition as the connect server delivers it, byte for byte.
struct PartitionEntry {
    char name[32];      // zero-terminated caption of the partition button
    char address[16];   // zero-terminated dotted IPv4 text of the game server
    std::uint16_t port; // little-endian on the wire; 0 marks an entry that cannot be chosen
};
static_assert(sizeof(PartitionEntry) == 50, "PartitionEntry is a 50-byte wire record");

inline constexpr int kPartitionCount = 10;

// The text of a fixed-width field that came from the network: up to its first
// zero byte, or the whole field when it holds none.
template <std::size_t N> std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

enum LaunchMode : std::uint32_t {
    kLaunchNormal = 0,
    kLaunchTest = 1,     // "/t"
    kLaunchOverride = 2, // "/l a.b.c"
};

// The process-wide record that the launcher's subsystems share. The executables
// own the one instance; everything else is handed a reference to it. Flags read
// across threads are atomic words.
struct LauncherState {
    char connectHost[50] = {};
    std::uint32_t launchMode = kLaunchNormal;
    std::uint16_t connectPort = 0;
    std::uint8_t overrideVersion[3] = {};
    std::uint32_t testServerFlag = 0;
    PartitionEntry partitions[kPartitionCount] = {};
    std::uint32_t selectedPartition = 0;
    char gameServerAddress[64] = {};
    char gameServerPortText[8] = {};
    std::atomic<std::uint32_t> connectWorkerStop{0};
    std::atomic<std::uint32_t> progressView{0};
    VeyMsg messages;
    // The only connection to the connect server; it takes its error texts from
    // `messages`, which is therefore declared first.
    SocketClient socketClient{messages};

    const char* Text(int id) const { return messages.GetText(id); }
    // The chosen partition's entry; the first one while the index is out of range.
    const PartitionEntry& ChosenPartition() const {
        return partitions[selectedPartition < kPartitionCount ? selectedPartition : 0];
    }
};

} // namespace tarnvale
