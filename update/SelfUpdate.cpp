#include "update/SelfUpdate.h"

#include "update/PatchList.h"

#include "platform/FileOps.h"
#include "platform/Files.h"
#include "tarnvale/settings.h"

namespace tarnvale {
namespace {

// Deletes a file renamed aside by an earlier swap. False while it is still in
// use (a running executable on Windows).
bool RemoveAside(const std::string& aside) {
    if (!platform::PathExists(aside))
        return true;
    if (platform::IsDirectory(aside))
        return false;
    platform::SetNormalAttributes(aside);
    return platform::RemoveFile(aside);
}

bool Swap(const WaitingCopy& copy) {
    const std::string aside = AsideName(copy.target);
    if (!RemoveAside(aside))
        return false;
    if (platform::IsDirectory(copy.waiting) || platform::IsDirectory(copy.target))
        return false;
    const bool hadTarget = platform::PathExists(copy.target);
    if (hadTarget) {
        platform::SetNormalAttributes(copy.target);
        if (!platform::MoveFileReplacing(copy.target, aside))
            return false;
    }
    if (!platform::MoveFileReplacing(copy.waiting, copy.target)) {
        // Put the old file back so the launcher keeps working.
        if (hadTarget)
            platform::MoveFileReplacing(aside, copy.target);
        return false;
    }
    if (hadTarget)
        RemoveAside(aside);
    return true;
}

} // namespace

const std::vector<WaitingCopy>& WaitingCopies() {
    static const std::vector<WaitingCopy> copies = {
        {std::string(settings::kLauncherName) + "._xe", LauncherFileName()},
        {"veymsg._ll", "veymsg.dll"},
        {"qx_zp._ll", "qx_zp.dll"},
        {"message._tf", "message.wtf"},
    };
    return copies;
}

std::string AsideName(const std::string& target) {
    return target + ".old";
}

SelfUpdateResult CompleteSelfUpdate() {
    SelfUpdateResult result;
    for (const WaitingCopy& copy : WaitingCopies()) {
        if (!platform::PathExists(copy.waiting)) {
            // An old executable left by the previous start's swap.
            RemoveAside(AsideName(copy.target));
            continue;
        }
        if (Swap(copy))
            ++result.installed;
        else
            ++result.waiting;
    }
    return result;
}

} // namespace tarnvale
