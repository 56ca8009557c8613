#pragma once

#include "msg/StepResult.h"
#include "update/ClientVersion.h"
#include "update/UpdateState.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvale {

class LauncherWindow;
class PatchListReader;
struct LauncherState;

// Where the installed version is kept: config.ini, section "LOGIN".
inline constexpr char kConfigIniName[] = "config.ini";
inline constexpr char kConfigSection[] = "LOGIN";
inline constexpr char kConfigVersionKey[] = "Version";
inline constexpr char kConfigTestVersionKey[] = "TestVersion";
inline constexpr char kConfigDefaultVersion[] = "0.0.0";
// Values are read into a buffer of this size, so at most 9 characters are seen.
inline constexpr std::size_t kConfigValueBuffer = 10;
// A version name is at most this many characters (the size of VersionEntry::name
// less its terminating zero).
inline constexpr std::size_t kMaxVersionNameLength = sizeof(VersionEntry::name) - 1;

// The path of config.ini in `currentDirectory`: the directory, "\" unless it
// already ends in one, then "config.ini". An empty directory gives the bare name,
// relative to the current directory.
std::string ConfigIniPath(const std::string& currentDirectory);

// Fills update.localVersion: the "/l" override as given, or else the "Version" of
// config.ini; in test mode whichever of "Version" and "TestVersion" weighs more
// (major x 65535 + minor x 256 + build), "TestVersion" when they weigh the same.
// Missing files and keys read as "0.0.0".
void ReadLocalVersion(const LauncherState& launcher, UpdateState& update,
                      const std::string& currentDirectory);

// Records update.localVersion in config.ini as "%d.%02d.%02d": in test mode under
// "TestVersion", and under "Version" too when the version was not a test-server
// version; otherwise under "Version" only when it was not a test-server version.
// A failure (message 138) names the file and the system's error.
StepResult WriteLocalVersion(const LauncherState& launcher, const UpdateState& update,
                             const std::string& currentDirectory);

// How reading a version file ended, and the message that reports a failure.
enum class VersionFileResult {
    Ok,
    Unreadable, // message 113: missing file, overlong token, or a name over 8 characters
    TooMany,    // message 114: 1000 names or more
};

// Reads the version table from the version file's tokens: every Name is a version
// in file order; every other token is ignored. On failure the table is left empty.
VersionFileResult ReadVersionTable(PatchListReader& reader, std::vector<VersionEntry>& table);

// Shows message 112, then reads the version file's local copy at `path` into
// update.versionTable. Failure shows message 113 or 114 and returns it with its
// cause, naming the file as the connect server did
// (update.server.versionFileName).
StepResult ParseVersionFile(const std::string& path, UpdateState& update,
                            const LauncherState& launcher, LauncherWindow& window);

// The newest version of a table (by packed value); 0.0.0 for an empty one.
ClientVersion NewestVersion(const std::vector<VersionEntry>& table);

// Whether the entry is newer than `local`: its packed value is greater.
bool IsNewer(const VersionEntry& entry, const ClientVersion& local);

// The versions the FTP road installs, in order, if each succeeds: every entry in
// file order that is newer than the installed version, which each installed entry
// then becomes.
std::vector<std::size_t> FtpVersionsToInstall(const std::vector<VersionEntry>& table,
                                              ClientVersion local);

// The first version the HTTP road installs; it installs that one and every later
// entry. Searching from the last entry backwards, it is the one after the last
// entry that is not newer than `local`; the first entry when all are newer;
// table.size() when there is nothing to install.
std::size_t HttpFirstVersionToInstall(const std::vector<VersionEntry>& table,
                                      const ClientVersion& local);

} // namespace tarnvale
