#pragma once

#include <functional>
#include <string>

namespace tarnvale {

// Every file of the game folder is written under a staging name first (see
// platform::StagingName) and renamed into place when complete, so a launcher
// that was stopped mid-write leaves a file of that form behind. Nothing else
// ever removes one.
//
// Deletes every file with a staging name in `folder` and all its subfolders
// (links are not followed) and returns how many went. Names of any other form
// are never touched. Only for a launcher that knows no other launcher works in
// this folder: the files of a running one carry the same form.
int SweepStagingLeftovers(const std::string& folder);

// Calls `visit` with the path and the name of every file in `folder` and all its
// subfolders; links are not followed. What `visit` returns is added up.
int ForEachFileBelow(
    const std::string& folder,
    const std::function<int(const std::string& path, const std::string& name)>& visit);

} // namespace tarnvale
