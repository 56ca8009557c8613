#include "options/OptionControls.h"

#include "options/GameConfig.h"

namespace tarnvale::options {

int ResolutionButton(std::int32_t resolution) {
    if (resolution < kResolution800x600 || resolution > kResolution1920x1080)
        return 0;
    return IDC_RES800 + (resolution - kResolution800x600);
}

std::int32_t ResolutionOfButton(int controlId) {
    if (controlId < IDC_RES800 || controlId > IDC_RES1920)
        return 0;
    return kResolution800x600 + (controlId - IDC_RES800);
}

int ColorDepthButton(std::int32_t colorDepth) {
    if (colorDepth < kColorDepth16 || colorDepth > kColorDepth32)
        return 0;
    return IDC_DEPTH16 + (colorDepth - kColorDepth16);
}

std::int32_t ColorDepthOfButton(int controlId) {
    if (controlId < IDC_DEPTH16 || controlId > IDC_DEPTH32)
        return -1;
    return kColorDepth16 + (controlId - IDC_DEPTH16);
}

} // namespace tarnvale::options
