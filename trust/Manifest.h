#pragma once

#include "trust/Crypto.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The manifest of one version on a signed update server: the version's name and
// every file the update roads transfer for it, with its size and SHA-256.
//
//   tarnvale-manifest 1 1.02.07
//   1234 <64 hex digits> list.inf
//   98765 <64 hex digits> data/items.txt.QXC
//
// One line feed ends every line. A path is the file's path below the version's
// folder on the server, "/"-separated, byte for byte as the road requests it (in
// the players' code page). The reader is strict: anything it does not expect
// makes the whole manifest unreadable.
namespace tarnvale::trust {

inline constexpr char kManifestName[] = "manifest.tvs";
inline constexpr char kSignatureSuffix[] = ".sig";
inline constexpr char kManifestTag[] = "tarnvale-manifest 1";
inline constexpr std::size_t kMaxManifestLine = 1024;
inline constexpr std::size_t kMaxManifestPath = 900;
inline constexpr std::size_t kMaxManifestEntries = 100000;
inline constexpr std::size_t kMaxManifestVersionName = 8;

struct ManifestEntry {
    std::string path;
    std::uint64_t size = 0;
    Digest sha256{};
};

struct Manifest {
    std::string version;
    std::vector<ManifestEntry> entries;

    // The entry of `path`, compared byte for byte; null when there is none.
    const ManifestEntry* Find(std::string_view path) const;
};

// Reads a manifest; on failure `error` says where and why.
bool ParseManifest(std::string_view text, Manifest& manifest, std::string& error);
// The manifest's text, entries in the given order.
std::string FormatManifest(const Manifest& manifest);

} // namespace tarnvale::trust
