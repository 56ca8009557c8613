#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarnvale::tools {

// One file or folder of a version's source folder.
struct SourceEntry {
    std::filesystem::path path; // where it is on this machine
    std::string shown;          // its path below the source as the operator named it, "/"-separated
    std::string listPath;       // its path in the players' code page, "\"-separated
};

struct SourceTree {
    std::vector<SourceEntry> folders; // parents before their children
    std::vector<SourceEntry> files;
};

// Walks `source` and checks every entry before anything is published: names must
// be UTF-8 that code page `codePage` can carry without a "\" byte (launchers split
// paths there) and must differ from their neighbours without regard to letter case
// (players' folders ignore it); files
// must be regular files (or symbolic links to them) that can be read; folders must
// be readable. Special files (FIFOs, sockets, devices), broken links and links to
// folders are refused. On failure `error` names the entry and the reason.
bool CollectSourceTree(const std::filesystem::path& source, unsigned codePage, SourceTree& tree,
                       std::string& error);

// The text after the last "\" of a list path, and the text before it.
std::string ListName(const std::string& listPath);
std::string ListFolder(const std::string& listPath);

} // namespace tarnvale::tools
