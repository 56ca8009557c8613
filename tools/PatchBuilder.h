#pragma once

#include "platform/CodePage.h"
#include "tools/SourceTree.h"
#include "trust/Crypto.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnvale::tools {

// One version to publish on the update server.
struct PatchVersion {
    std::string root;        // the server root (FTP login directory or web root)
    std::string name;        // the version's directory name, e.g. 1.02.07
    std::string source;      // folder holding the version's files, laid out as in the game folder
    bool packed = true;      // archive form (up_list.zip) rather than file by file
    bool compressed = false; // file by file: files stored packed as NAME.QXC
    bool mirror = false;     // file by file: server folders mirror the game folders
    bool testServer = false;
    std::vector<std::string> removeFiles;   // packed: files to delete from the game folder
    std::vector<std::string> removeFolders; // packed: empty folders to remove
    std::string versionFile = "version.wvd";
    unsigned codePage = platform::kPlayersCodePage; // of names in lists and archives
    // With a key: the version's folder gets its signed manifest, and the version
    // file its signature. A signed server takes no unsigned version.
    std::optional<trust::SecretKey> signingKey;
};

// What a successful AddVersion published.
struct PublishReport {
    std::size_t files = 0;
    bool carriesLauncher = false; // players' launchers will replace themselves
};

// Makes `root` an update server root: the folder and an empty version file.
// `created` says whether there was anything to do.
bool InitServerRoot(const std::string& root, const std::string& versionFile, bool& created,
                    std::string& error);

// Checks everything players depend on, then writes ROOT/NAME/ with its list and
// files (and, signing, its manifest) under a temporary name, renames it into
// place and appends NAME to the version file (signing it anew). On failure
// `error` says what, and the server is as it was.
bool AddVersion(const PatchVersion& version, std::string& error, PublishReport* report = nullptr);

// The text of the version's "list.inf". The removals are list paths in the
// players' code page.
std::string MakePatchList(const PatchVersion& version, const SourceTree& tree,
                          const std::vector<std::string>& removeFiles,
                          const std::vector<std::string>& removeFolders);

} // namespace tarnvale::tools
