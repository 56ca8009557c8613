#pragma once

#include "update/ClientVersion.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace tarnvale {

// Where the connect server says the update server is. Text fields are
// zero-terminated and arrive descrambled.
struct UpdateServerInfo {
    char serverAddress[100] = {}; // host name or dotted address, optionally with ":port"
    std::uint16_t serverPort = 0;
    char accountName[20] = {};
    char accountPassword[20] = {};
    char versionFileName[20] = {}; // in practice "version.wvd"
};

// One version published by the update server, in the version file's order.
struct VersionEntry {
    char name[9] = {}; // the version's directory name, at most 8 characters
    ClientVersion version;
    std::int32_t Packed() const { return version.Packed(); }
};

inline constexpr int kMaxVersions = 999;

// Flags that a version's "list.inf" sets; all clear when the window is built.
struct ListFlags {
    bool compressed = false;
    bool newToolVersion = false;
    bool packingVersion = false;
};

// The update engine's record, held by the launcher window for its whole run.
struct UpdateState {
    UpdateServerInfo server;
    ClientVersion localVersion;
    std::int32_t currentVersion = 0;
    std::vector<VersionEntry> versionTable; // at most kMaxVersions entries
    ListFlags listFlags;

    // Set while no update runs (at the start, once a road has ended) and by the
    // Close button to stop a running transfer after its chunk; a road clears it
    // when it begins. Read it through the two questions below.
    std::atomic<bool> stopRequested{true};
    std::atomic<bool> updateDone{false};        // the update has finished
    std::atomic<bool> selfUpdatePending{false}; // the launcher's own executable is updated
    std::atomic<bool> resumeFromLog{false};     // patch.log existed when the version began

    // Whether an update is under way (and has not been asked to stop).
    bool UpdateRunning() const { return !stopRequested; }
    // Asks a running transfer to stop after its current chunk.
    void RequestStop() { stopRequested = true; }
};

} // namespace tarnvale
