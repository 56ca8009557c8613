#pragma once

#include "tools/SourceTree.h"

#include <filesystem>
#include <string>

namespace tarnvale::tools {

// Writes a version's archive (up_list.zip) at `archive`: every folder, then every
// file, each under its list path with "/" separators, names in the players' code
// page as launchers compare them. Fails, naming the file, when a source file
// cannot be read to its end; the caller discards the half-written archive.
bool WriteVersionArchive(const SourceTree& tree, const std::filesystem::path& archive,
                         std::string& error);

} // namespace tarnvale::tools
