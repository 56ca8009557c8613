#pragma once

// Rectangles of the skinned toolkit and of the windows built with it, in client
// pixels; the right and bottom edges are outside.
namespace tarnvale::ui {

struct Point {
    int x = 0;
    int y = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool operator==(const Rect&) const = default;
};

} // namespace tarnvale::ui
