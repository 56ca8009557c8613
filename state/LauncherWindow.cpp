#include "state/LauncherWindow.h"

#include <algorithm>

namespace tarnvale {

int ProgressPercent(int pos, int range) {
    return static_cast<int>(static_cast<double>(std::max(pos, 1)) / std::max(range, 1) * 100.0);
}

} // namespace tarnvale
