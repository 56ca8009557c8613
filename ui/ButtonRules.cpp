#include "ui/ButtonRules.h"

namespace tarnvale::ui {

ButtonImage ChooseButtonImage(unsigned itemState, bool hasPressed, bool hasFocused,
                              bool hasDisabled) {
    if ((itemState & kItemSelected) && hasPressed)
        return ButtonImage::Pressed;
    if ((itemState & kItemFocus) && hasFocused)
        return ButtonImage::Focused;
    if ((itemState & kItemDisabled) && hasDisabled)
        return ButtonImage::Disabled;
    return ButtonImage::Normal;
}

int CaptionFontWeight(int boldFlag) {
    return boldFlag == 1 ? 956 : 400;
}

} // namespace tarnvale::ui
