// The launcher's bitmaps as the build renders them: every picture of the table
// with its size, 24 bits per pixel, no compression and the 40-byte info header;
// skins whose see-through parts are exactly the key colour and whose every
// place of the window's layout is opaque; texts that stay readable where the
// window draws them.
#include "res/BitmapTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace tarnvale::test {
namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

constexpr Rgb kKey{0, 255, 0};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kPercentColour{220, 32, 128};

// Rectangles as the window's layout gives them: left, top, right, bottom, the
// right and bottom edges excluded.
struct Rect {
    int left, top, right, bottom;
};

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

std::uint16_t Le16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// A 24-bit BMP file, read plainly to check what the build wrote.
struct Bmp {
    int width = 0, height = 0;
    std::string bytes;

    int RowSize() const { return (width * 24 + 31) / 32 * 4; }
    Rgb At(int x, int y) const { // y counts from the top; the file stores rows bottom-up
        const std::size_t at = 54 + static_cast<std::size_t>((height - 1 - y) * RowSize() + x * 3);
        return {static_cast<unsigned char>(bytes[at + 2]),
                static_cast<unsigned char>(bytes[at + 1]), static_cast<unsigned char>(bytes[at])};
    }
};

fs::path ArtDir() {
    return fs::path(TARNVALE_ART_DIR);
}

// Reads <id>.bmp and checks every header field against the table's size.
::testing::AssertionResult ReadBitmap(int id, Bmp& bmp) {
    const fs::path path = ArtDir() / (std::to_string(id) + ".bmp");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ::testing::AssertionFailure() << path << " is missing";
    bmp.bytes.assign(std::istreambuf_iterator<char>(in), {});
    const std::string& b = bmp.bytes;
    if (b.size() < 54 || b.compare(0, 2, "BM") != 0)
        return ::testing::AssertionFailure() << path << " is not a BMP file";
    bmp.width = static_cast<int>(Le32(b, 18));
    bmp.height = static_cast<int>(Le32(b, 22));
    const BitmapTableEntry* entry = FindBitmap(id);
    if (!entry)
        return ::testing::AssertionFailure() << "bitmap " << id << " is not in the table";
    const std::size_t pixelBytes = static_cast<std::size_t>(bmp.RowSize() * bmp.height);
    if (Le32(b, 14) != 40)
        return ::testing::AssertionFailure()
               << id << ": info header of " << Le32(b, 14) << " bytes";
    if (bmp.width != entry->width || bmp.height != entry->height)
        return ::testing::AssertionFailure()
               << id << ": " << bmp.width << "x" << bmp.height << ", expected " << entry->width
               << "x" << entry->height;
    if (Le16(b, 26) != 1 || Le16(b, 28) != 24)
        return ::testing::AssertionFailure() << id << ": " << Le16(b, 28) << " bits per pixel";
    if (Le32(b, 30) != 0) // BI_RGB
        return ::testing::AssertionFailure() << id << ": compression " << Le32(b, 30);
    if (Le32(b, 10) != 54 || Le32(b, 2) != b.size() || b.size() != 54 + pixelBytes ||
        Le32(b, 34) != pixelBytes)
        return ::testing::AssertionFailure() << id << ": file, offset and image sizes disagree";
    if (Le32(b, 46) != 0) // no colour table
        return ::testing::AssertionFailure() << id << ": " << Le32(b, 46) << " table colours";
    return ::testing::AssertionSuccess();
}

Bmp Load(int id) {
    Bmp bmp;
    EXPECT_TRUE(ReadBitmap(id, bmp));
    return bmp;
}

// Counts the pixels of a rectangle for which the predicate holds.
template <typename Predicate> int Count(const Bmp& bmp, Rect r, Predicate predicate) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            count += predicate(bmp.At(x, y)) ? 1 : 0;
    return count;
}

// A colour that reads as a tint of the key: within RGB distance 192 of it.
bool NearKey(Rgb c) {
    return !(c == kKey) && c.r * c.r + (255 - c.g) * (255 - c.g) + c.b * c.b <= 192 * 192;
}

double Luminance(Rgb c) {
    auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

// The contrast ratio of two colours, 1 (none) to 21 (black on white).
double Contrast(Rgb a, Rgb b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The lowest contrast of the text colour against any pixel of the rectangle.
double LowestContrast(const Bmp& bmp, Rect r, Rgb text) {
    double lowest = 21;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            lowest = std::min(lowest, Contrast(bmp.At(x, y), text));
    return lowest;
}

TEST(ArtBitmaps, EveryPictureOfTheTableIsUncompressed24BitOfItsSize) {
    for (const auto& entry : kBitmapTable) {
        Bmp bmp;
        EXPECT_TRUE(ReadBitmap(entry.id, bmp));
    }
}

TEST(ArtBitmaps, TheBuildRendersNoPictureOutsideTheTable) {
    std::set<std::string> extra;
    for (const auto& file : fs::directory_iterator(ArtDir())) {
        const fs::path name = file.path().filename();
        if (name.extension() == ".bmp" && !FindBitmap(std::atoi(name.stem().string().c_str())))
            extra.insert(name.string());
    }
    EXPECT_EQ(extra, std::set<std::string>{});
}

TEST(ArtSkins, SeeThroughPartsAreExactlyTheKeyAndNothingComesNearIt) {
    for (int id : {140, 163}) {
        const Bmp skin = Load(id);
        EXPECT_EQ(Count(skin, {0, 0, 580, 380}, NearKey), 0) << "skin " << id;
        // The corners are see-through: the window's shape is not a rectangle.
        for (auto [x, y] : {std::pair{0, 0}, {579, 0}, {0, 379}, {579, 379}})
            EXPECT_EQ(skin.At(x, y), kKey) << "skin " << id << " at " << x << "," << y;
        EXPECT_GT(Count(skin, {0, 0, 580, 380}, [](Rgb c) { return c == kKey; }), 1000);
    }
}

TEST(ArtSkins, PicturesDrawnOnTheWindowHaveNoKeyColouredPixels) {
    // A key-coloured pixel in a button or bar would be a hole in the window.
    for (const auto& entry : kBitmapTable) {
        if (entry.id == 140 || entry.id == 163)
            continue;
        const Bmp bmp = Load(entry.id);
        EXPECT_EQ(Count(bmp, {0, 0, bmp.width, bmp.height},
                        [](Rgb c) { return c == kKey || NearKey(c); }),
                  0)
            << "bitmap " << entry.id;
    }
}

TEST(ArtSkins, EveryPlaceOfTheLayoutIsOpaque) {
    auto isKey = [](Rgb c) { return c == kKey; };
    const Rect close{561, 3, 577, 18};
    const Bmp progress = Load(163);
    for (Rect r :
         {Rect{383, 19, 563, 40}, Rect{226, 47, 563, 68}, Rect{226, 71, 563, 124},
          Rect{225, 74, 564, 97}, Rect{225, 102, 564, 125}, Rect{238, 136, 322, 167},
          Rect{343, 136, 427, 167}, Rect{456, 136, 540, 167}, Rect{225, 176, 563, 360}, close})
        EXPECT_EQ(Count(progress, r, isKey), 0) << "163 at " << r.left << "," << r.top;

    const Bmp partitions = Load(140);
    std::vector<Rect> places{{228, 167, 564, 330}, close};
    for (int i = 0; i < 10; ++i) {
        const int x = 227 + 169 * (i % 2), y = 17 + 29 * (i / 2);
        places.push_back({x, y, x + 164, y + 26});
    }
    for (int x : {237, 300, 365, 430, 493})
        places.push_back({x, 337, x + 60, 361});
    for (Rect r : places)
        EXPECT_EQ(Count(partitions, r, isKey), 0) << "140 at " << r.left << "," << r.top;
}

TEST(ArtSkins, TheWindowsTextsAreReadableWhereTheyAreDrawn) {
    // Black 12-pixel status and title lines; the percentages in their own
    // colour over the bar's well and over the bar itself; the server names in
    // black over both pictures of the server buttons.
    const Bmp progress = Load(163);
    EXPECT_GE(LowestContrast(progress, {226, 50, 563, 62}, kBlack), 7.0) << "status line";
    EXPECT_GE(LowestContrast(progress, {383, 22, 563, 34}, kBlack), 7.0) << "title line";
    EXPECT_GE(LowestContrast(progress, {370, 79, 419, 91}, kPercentColour), 3.5) << "upper well";
    EXPECT_GE(LowestContrast(progress, {370, 108, 419, 120}, kPercentColour), 3.5) << "lower well";
    EXPECT_GE(LowestContrast(Load(162), {0, 5, 339, 17}, kPercentColour), 3.0) << "bar";
    for (int id : {148, 149})
        EXPECT_GE(LowestContrast(Load(id), {16, 7, 148, 19}, kBlack), 7.0)
            << "server button " << id;
}

TEST(ArtOptions, ControlsOfTheOptionsDialogSitOnPlainColour) {
    // The radio buttons and check boxes keep a background of their own around
    // the glyph; on one plain colour a brush of that colour hides it.
    const Bmp background = Load(110);
    const Rgb body = background.At(32, 240);
    for (auto [x, y] : {std::pair{32, 240},
                        {108, 240},
                        {190, 240},
                        {278, 240},
                        {32, 320},
                        {143, 320},
                        {32, 398},
                        {143, 398},
                        {286, 216}})
        EXPECT_EQ(Count(background, {x, y, x + 13, y + 13}, [&](Rgb c) { return !(c == body); }), 0)
            << "control at " << x << "," << y;
    // The account field is white like an edit control's own background.
    EXPECT_EQ(Count(background, {144, 136, 314, 150},
                    [](Rgb c) {
                        return !(c == Rgb{255, 255, 255});
                    }),
              0);
}

} // namespace
} // namespace tarnvale::test
