#pragma once

#include "platform/MessageBox.h"

#include <string>

namespace tarnvale {

// A message box as the player is to see it. The layer that knows what went wrong
// makes it and hands it up; only the front end shows it (the Windows window with
// the system's box, the headless launcher on standard error, each text converted
// from the code page it is written in).
struct MessageBoxRequest {
    std::string text;
    std::string caption;
    unsigned type = platform::kMbOk;
    bool ownedByMainWindow = false;
    platform::TextCodePage codePage = platform::TextCodePage::kGame;
    // Once the player has confirmed it, the launcher window closes (an update
    // that could not be put in place).
    bool closesWindow = false;
};

// Shows `box` and returns when the player has closed it.
inline int ShowMessageBox(const MessageBoxRequest& box) {
    return platform::ShowMessageBox(box.text.c_str(), box.caption.c_str(), box.type,
                                    box.ownedByMainWindow, box.codePage);
}

} // namespace tarnvale
