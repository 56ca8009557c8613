#pragma once

#include <string>
#include <vector>

namespace tarnvale::tools {

// The two ways launchers fetch versions: HTTP always fetches each version's
// archive; FTP takes whichever form the version's list announces.
enum class Road { Http, Ftp };

struct RoadCheck {
    std::size_t versions = 0;
    std::vector<std::string> problems; // empty: every launcher on the road installs every version
};

// Walks a whole server root as launchers on `road` do and names everything that
// would stop them: a version file launchers cannot read, version names they do
// not accept or that are out of order, a version folder or list that is missing
// or unreadable, a list with a path outside the game folder, a file-by-file
// version on HTTP, a missing or damaged archive (every entry is read and its
// checksum tested), an archive without a top-level config.ini that records its
// version, and a file-by-file list naming a file its server folder lacks.
RoadCheck CheckRoad(const std::string& root, const std::string& versionFile, Road road);

} // namespace tarnvale::tools
