#pragma once

// Which picture a bitmap button shows and how its caption is set.
namespace tarnvale::ui {

// State bits of an owner-draw request (the system's ODS_ values).
inline constexpr unsigned kItemSelected = 0x1;
inline constexpr unsigned kItemDisabled = 0x4;
inline constexpr unsigned kItemFocus = 0x10;

enum class ButtonImage { Normal, Pressed, Focused, Disabled };

// Pressed wins over focused, focused over disabled; a state whose picture is
// missing falls through to the next test and finally to the normal picture.
ButtonImage ChooseButtonImage(unsigned itemState, bool hasPressed, bool hasFocused,
                              bool hasDisabled);

// Caption font weight: 956 for a bold flag of exactly 1, the normal 400 otherwise.
int CaptionFontWeight(int boldFlag);

// The caption is centred in the item rectangle widened by this many pixels to the
// right, which puts it 1.5 pixels right of the button's centre.
inline constexpr int kCaptionRightExtension = 3;

} // namespace tarnvale::ui
