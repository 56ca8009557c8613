#include "app/WindowLayout.h"

#include "res/ResourceIds.h"

#include <cstdio>

namespace tarnvale::layout {

const ButtonSpec kButtons[kButtonCount] = {
    {kCmdLink2,
     "",
     {237, 337},
     60,
     24,
     IDB_LINK2_NORMAL,
     IDB_LINK2_PRESSED,
     IDB_LINK2_NORMAL,
     IDB_LINK2_NORMAL,
     true},
    {kCmdLink1,
     "",
     {300, 337},
     60,
     24,
     IDB_LINK1_NORMAL,
     IDB_LINK1_PRESSED,
     IDB_LINK1_NORMAL,
     IDB_LINK1_NORMAL,
     true},
    {kCmdLink4,
     "",
     {365, 337},
     60,
     24,
     IDB_LINK4_NORMAL,
     IDB_LINK4_PRESSED,
     IDB_LINK4_NORMAL,
     IDB_LINK4_NORMAL,
     true},
    {kCmdLink3,
     "",
     {430, 337},
     60,
     24,
     IDB_LINK3_NORMAL,
     IDB_LINK3_PRESSED,
     IDB_LINK3_NORMAL,
     IDB_LINK3_NORMAL,
     true},
    {kCmdCloseLink,
     "",
     {493, 337},
     60,
     24,
     IDB_CLOSE_LINK_NORMAL,
     IDB_CLOSE_LINK_PRESSED,
     IDB_CLOSE_LINK_NORMAL,
     IDB_CLOSE_LINK_NORMAL,
     true},
    {kCmdClose,
     "",
     {561, 3},
     16,
     15,
     IDB_CLOSE_NORMAL,
     IDB_CLOSE_PRESSED,
     IDB_CLOSE_NORMAL,
     IDB_CLOSE_NORMAL,
     false},
    {kCmdConnect,
     "Connect",
     {343, 136},
     84,
     31,
     IDB_CONNECT,
     IDB_CONNECT,
     IDB_CONNECT,
     IDB_CONNECT,
     false},
    {kCmdOption,
     "Option",
     {238, 136},
     84,
     31,
     IDB_OPTION,
     IDB_OPTION,
     IDB_OPTION,
     IDB_OPTION,
     false},
    {kCmdCloseBig,
     "CloseBig",
     {456, 136},
     84,
     31,
     IDB_CLOSE_BIG,
     IDB_CLOSE_BIG,
     IDB_CLOSE_BIG,
     IDB_CLOSE_BIG,
     false},
};

const ButtonSpec* FindButton(int id) {
    for (const ButtonSpec& button : kButtons) {
        if (button.id == id)
            return &button;
    }
    return nullptr;
}

Point PartitionButtonOrigin(int index) {
    return {227 + 169 * (index % 2), 17 + 29 * (index / 2)};
}

std::string PartitionButtonName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "ParttionButton%d", index + 1);
    return name;
}

int PartitionOfCommand(int command) {
    const int index = command - kCmdFirstPartition;
    return index >= 0 && index < kPartitionButtons ? index : -1;
}

} // namespace tarnvale::layout
