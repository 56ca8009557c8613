#pragma once

#include "update/ClientVersion.h"
#include "update/UpdateState.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarnvale::tools {

// Whether `name` is a version name every launcher reads the same way: three
// decimal numbers from 0 to 255 joined by ".", at most as long as launchers keep
// a version name (8 characters), for example 1.02.07. `value` gets the version.
bool IsPublishableVersionName(std::string_view name, ClientVersion& value);

// How reading a server root's version file ended.
enum class RootVersions { Read, CannotRead, NotAsLaunchersRead };

// Reads the version file `versionFile` of the server root `root` as launchers
// read it: `bytes` gets the file's bytes and `table` its versions. Otherwise
// `error` names the file and says what is wrong with it.
RootVersions ReadRootVersions(const std::string& root, const std::string& versionFile,
                              std::string& bytes, std::vector<VersionEntry>& table,
                              std::string& error);

// Checks that `name` can be added to the version file whose bytes are `versions`
// (the file `shownPath`): the file reads as launchers read it, the new version is
// neither published already (under any spelling) nor older than or equal to the
// newest published one, and the file stays within the launchers' 999 versions.
bool CheckNewVersion(const std::string& versions, const std::string& shownPath,
                     std::string_view name, const ClientVersion& value, std::string& error);

// Checks that the config.ini whose bytes are `config` (shown as `shown`) records
// version `name` (`value`) as launchers read it: in [LOGIN] Version, or
// TestVersion for a test-server version, in a form launchers read.
bool CheckConfigVersion(const std::string& config, const std::string& shown, bool testServer,
                        std::string_view name, const ClientVersion& value, std::string& error);

// The version file with `name` appended as one more line.
std::string AppendVersion(std::string versions, std::string_view name);

} // namespace tarnvale::tools
