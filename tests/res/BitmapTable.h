#pragma once

// The program's bitmap resources as its windows use them: every id with its
// size in pixels. Written out here, apart from the art's own list, so that the
// checks compare the build's pictures against what the windows expect.

namespace tarnvale::test {

struct BitmapTableEntry {
    int id;
    int width;
    int height;
};

inline constexpr BitmapTableEntry kBitmapTable[] = {
    {104, 84, 31},   {105, 84, 31},  {106, 84, 31}, // Option, Connect, CloseBig
    {110, 385, 486},                                // options background
    {111, 74, 22},   {112, 74, 22},                 // Save pressed, normal
    {137, 74, 22},   {138, 74, 22},                 // Cancel normal, pressed
    {140, 580, 380},                                // skin of the partition view
    {144, 16, 15},   {145, 16, 15},                 // close normal, pressed
    {146, 16, 15},   {147, 16, 15},                 // spare close pictures
    {148, 164, 26},  {149, 164, 26},                // server button pressed, normal
    {152, 60, 24},   {153, 60, 24},  {154, 60, 24}, // link buttons: even normal,
    {155, 60, 24},   {156, 60, 24},  {157, 60, 24}, // odd pressed
    {158, 60, 24},   {159, 60, 24},  {160, 60, 24}, {161, 60, 24}, {162, 339, 23}, // progress bars
    {163, 580, 380}, // skin of the progress view
};

inline const BitmapTableEntry* FindBitmap(int id) {
    for (const auto& entry : kBitmapTable)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

} // namespace tarnvale::test
