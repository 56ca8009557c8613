#pragma once

#include <cstdint>

// The files the update roads keep of their own while they work, and how much of
// the update server's answers they accept.
namespace tarnvale {

// Local copies of what a road fetches to check and read before it installs
// anything. Their names are the launcher's own: whatever the connect server calls
// the version file, that name only chooses what is requested from the update
// server and never which local file is deleted or written. They live in the
// staging folder under staging-form names (platform::IsStagingName), which no
// list entry is staged under at the moment they exist, and which the start-up
// sweep removes when a stopped launcher left one behind. Each is removed as soon
// as it has been read.
inline constexpr char kVersionFileCopy[] = "Temp\\version.~tv0-1";
inline constexpr char kVersionSignatureCopy[] = "Temp\\version-sig.~tv0-1";
inline constexpr char kManifestCopy[] = "Temp\\manifest.~tv0-1";
inline constexpr char kManifestSignatureCopy[] = "Temp\\manifest-sig.~tv0-1";

// Ceilings on what the roads fetch before they know its size. A version file
// holds at most 999 names of 8 characters; a list names at most a few thousand
// files per folder; a signature file is 129 bytes. A transfer that passes its
// ceiling stops there and fails. With keys, every file a manifest names is held
// to the manifest's size instead.
inline constexpr std::uint64_t kMaxVersionFileBytes = 1024 * 1024;
inline constexpr std::uint64_t kMaxListBytes = 16 * 1024 * 1024;
inline constexpr std::uint64_t kMaxSignatureFileBytes = 256;
inline constexpr std::uint64_t kMaxManifestBytes = 32 * 1024 * 1024;

// The newest version a launcher built with keys has accepted from a signed
// version file, in the game folder ("1.02.07" and a line feed). A signed version
// file whose newest version is older is refused: an old signed state replayed
// after config.ini was lost cannot take the game back to older versions.
inline constexpr char kTrustedVersionMark[] = "trusted.ver";

} // namespace tarnvale
