#pragma once

#include <string>
#include <vector>

namespace tarnvale::tools {

// One version to publish on the update server.
struct PatchVersion {
    std::string root;        // the server root (FTP login directory or web root)
    std::string name;        // the version's directory name, e.g. 1.02.07 (at most 8 characters)
    std::string source;      // folder holding the version's files, laid out as in the game folder
    bool packed = true;      // archive form (up_list.zip) rather than file by file
    bool compressed = false; // file by file: files stored packed as NAME.QXC
    bool mirror = false;     // file by file: server folders mirror the game folders
    bool testServer = false;
    std::vector<std::string> removeFiles;   // packed: files to delete from the game folder
    std::vector<std::string> removeFolders; // packed: empty folders to remove
    std::string versionFile = "version.wvd";
};

// Writes ROOT/NAME/ with its list and files, then appends NAME to the version
// file. Nothing is appended when anything fails; `error` says what.
bool AddVersion(const PatchVersion& version, std::string& error);

// The text of the version's "list.inf".
std::string MakePatchList(const PatchVersion& version, const std::vector<std::string>& folders,
                          const std::vector<std::string>& files);

} // namespace tarnvale::tools
