#pragma once

#include "res/ResourceIds.h"

#include <cstdint>

// How the options dialog's controls stand for the settings: which radio button
// shows which resolution and colour depth, and how a check box holds a flag.
namespace tarnvale::options {

// The radio button that shows `resolution`, or 0 when no button does (a stored
// value outside 1..4 leaves every resolution button unchecked).
int ResolutionButton(std::int32_t resolution);
// The resolution a radio button stands for, or 0 for any other control.
std::int32_t ResolutionOfButton(int controlId);

// The same for the colour depth (0 or 1).
int ColorDepthButton(std::int32_t colorDepth);
// The colour depth a radio button stands for, or -1 for any other control.
std::int32_t ColorDepthOfButton(int controlId);

// A check box shows a flag as checked when it is not 0, so a stored 5 reads as
// on, as the game client takes it; what the box shows is saved as 1 or 0.
inline bool IsFlagSet(std::int32_t flag) {
    return flag != 0;
}
inline std::int32_t FlagOf(bool checked) {
    return checked ? 1 : 0;
}

} // namespace tarnvale::options
