#pragma once

#include "app/CUpdateApp.h"

namespace tarnvale {

// A plain window with the launcher's title and status line. It stands in for the
// skinned launcher window until that exists, so the program starts, holds its
// single-instance mutex and closes like the real one.
class PlaceholderWindow : public LauncherFrontEnd {
  public:
    void RunWindow(LauncherState& state) override;
};

} // namespace tarnvale
