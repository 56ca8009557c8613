#pragma once

#include "ui/Geometry.h"

#include <cstdint>
#include <string>

// Where everything sits in the launcher window (580 x 380 pixels, client
// coordinates) and the commands its controls send. The window draws from these
// tables; they hold no drawing of their own, so they are tested everywhere.
namespace tarnvale::layout {

using Point = ui::Point;
using Box = ui::Rect;

inline constexpr int kWindowWidth = 580;
inline constexpr int kWindowHeight = 380;

// Commands of the window's controls.
inline constexpr int kCmdOption = 2000;
inline constexpr int kCmdConnect = 2001;
inline constexpr int kCmdClose = 2004;
inline constexpr int kCmdWindowMode = 2007;
inline constexpr int kCmdCloseBig = 2010;
inline constexpr int kCmdLink1 = 2020;
inline constexpr int kCmdLink2 = 2021;
inline constexpr int kCmdLink3 = 2022;
inline constexpr int kCmdLink4 = 2023;
inline constexpr int kCmdCloseLink = 2028;
inline constexpr int kCmdFirstPartition = 6501;
inline constexpr int kPartitionButtons = 10;

// The bitmap buttons, in the order the window creates them. Each takes the size
// of its normal picture; the pictures are normal, pressed, focused and disabled.
struct ButtonSpec {
    int id;
    const char* text; // window text; the visible caption is in the picture
    Point origin;
    int width, height;
    int normal, pressed, focused, disabled;
    bool partitionView; // one of the five link buttons shown only there
};
inline constexpr int kButtonCount = 9;
extern const ButtonSpec kButtons[kButtonCount];
const ButtonSpec* FindButton(int id);

// The partition buttons: two columns of five, button i in row i / 2, column i % 2,
// with pictures IDB_PARTITION_NORMAL and IDB_PARTITION_PRESSED.
inline constexpr int kPartitionWidth = 164;
inline constexpr int kPartitionHeight = 26;
Point PartitionButtonOrigin(int index);
// "ParttionButton%d" with index + 1: the buttons' creation names.
std::string PartitionButtonName(int index);
// The partition of a partition command, or -1 for any other command.
int PartitionOfCommand(int command);

// The two bars share one picture (IDB_PROGRESS_BAR) and one left edge.
inline constexpr Point kTotalBarOrigin{225, 74};
inline constexpr Point kFileBarOrigin{225, 102};

// Both skins (IDB_SKIN_PROGRESS, IDB_SKIN_PARTITIONS) are 580 x 380; their pure
// green pixels are see-through.
inline constexpr std::uint32_t kSeeThroughRgb = 0x00FF00; // COLORREF of RGB(0, 255, 0)

// The notice page in each view.
inline constexpr Box kBrowserInProgressView{225, 176, 225 + 338, 176 + 184};
inline constexpr Box kBrowserInPartitionView{228, 167, 228 + 336, 167 + 163};

// Texts the window draws in its progress view, centred on x with their top at y,
// and the bands repainted when they change.
inline constexpr Point kStatusAnchor{394, 50};
inline constexpr Point kTitleAnchor{473, 22};
inline constexpr Point kTotalPercentAnchor{394, 79};
inline constexpr Point kFilePercentAnchor{394, 108};
inline constexpr Box kStatusBand{226, 47, 563, 68};
inline constexpr Box kTitleBand{383, 19, 563, 40};
inline constexpr Box kPercentBand{226, 71, 563, 124};
inline constexpr std::uint32_t kPercentRgb = 0x8020DC; // COLORREF of RGB(220, 32, 128)
inline constexpr int kTextFontWidth = 6;
inline constexpr int kTextFontHeight = 12;

} // namespace tarnvale::layout
