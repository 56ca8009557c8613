// The device-independent bitmap, its palette and the off-screen context under Wine.
#include "TestResources.h"
#include "UiTestSupport.h"
#include "support/TestSupport.h"
#include "ui/Bmp.h"
#include "ui/win32/CBmpPalette.h"
#include "ui/win32/CDIBitmap.h"
#include "ui/win32/CMemDC.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnvale::ui {
namespace {

using test::Surface;

constexpr COLORREF kBackground = RGB(1, 2, 3);

// A 24-bit picture whose rows, counted from the top, are RGB(30 r, 0, 0); column x
// adds x to green.
BmpPicture RowPicture(int width, int height) {
    BmpPicture picture;
    picture.header.width = width;
    picture.header.height = height;
    picture.header.bitCount = 24;
    const auto rowBytes = static_cast<std::size_t>(DibRowBytes(width, 24));
    picture.rows.assign(rowBytes * height, 0);
    for (int top = 0; top < height; ++top) {
        std::uint8_t* row = picture.rows.data() + (height - 1 - top) * rowBytes;
        for (int x = 0; x < width; ++x) {
            row[3 * x + 1] = static_cast<std::uint8_t>(x);
            row[3 * x + 2] = static_cast<std::uint8_t>(30 * top);
        }
    }
    return picture;
}

std::string Bytes(const BmpPicture& picture) {
    const std::vector<std::uint8_t> bytes = EncodeBmp(picture);
    return std::string(bytes.begin(), bytes.end());
}

class DIBitmapFileTest : public tarnvale::test::TempDirTest {};

TEST_F(DIBitmapFileTest, ReaderFailuresLeaveThePictureEmpty) {
    CDIBitmap picture;
    EXPECT_FALSE(picture.LoadFile("missing.bmp"));

    std::string bytes = Bytes(RowPicture(4, 4));
    bytes[0] = 'X';
    tarnvale::test::WriteFile(Dir() / "notbmp.bmp", bytes);
    EXPECT_FALSE(picture.LoadFile("notbmp.bmp"));
    EXPECT_EQ(picture.LastError(), "Error:Unexpected file type, not a DIB\n");

    bytes = Bytes(RowPicture(4, 4));
    bytes[14] = 12; // the OS/2 header
    tarnvale::test::WriteFile(Dir() / "os2.bmp", bytes);
    EXPECT_FALSE(picture.LoadFile("os2.bmp"));
    EXPECT_EQ(picture.LastError(), "Error:OS2 PM BMP Format not supported\n");

    bytes = Bytes(RowPicture(4, 4));
    tarnvale::test::WriteFile(Dir() / "short.bmp", bytes.substr(0, bytes.size() - 1));
    tarnvale::test::WriteFile(Dir() / "good.bmp", bytes);
    ASSERT_TRUE(picture.LoadFile("good.bmp"));
    EXPECT_FALSE(picture.LoadFile("short.bmp"));
    EXPECT_EQ(picture.LastError(), kBmpTruncatedRows);
    EXPECT_FALSE(picture.Loaded()) << "a failed read empties what was there";
    EXPECT_EQ(picture.Info(), nullptr);

    Surface surface(10, 10, kBackground);
    picture.Draw(surface.Dc(), 0, 0);
    EXPECT_EQ(surface.Count(kBackground, {0, 0, 10, 10}), 100);
    EXPECT_EQ(picture.DrawPart(surface.Dc(), {0, 0, 4, 4}, {0, 0, 4, 4}), 0);
}

TEST_F(DIBitmapFileTest, ReadsABmpFromInsideALargerFile) {
    tarnvale::test::WriteFile(Dir() / "packed.bin", "HEADER" + Bytes(RowPicture(5, 3)) + "TRAILER");
    std::FILE* file = std::fopen("packed.bin", "rb");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 6, SEEK_SET);
    CDIBitmap picture;
    EXPECT_TRUE(picture.Read(file));
    std::fclose(file);
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_EQ(picture.Height(), 3);
    Surface surface(5, 3);
    picture.Draw(surface.Dc(), 0, 0);
    EXPECT_EQ(surface.At(4, 2), RGB(60, 4, 0));
}

TEST_F(DIBitmapFileTest, AnEightBitPictureBringsItsOwnPalette) {
    BmpPicture picture;
    picture.header.width = 4;
    picture.header.height = 4;
    picture.header.bitCount = 8;
    picture.header.clrUsed = 16;
    picture.rows.assign(16, 3);
    for (int i = 0; i < 16; ++i) { // blue, green, red, reserved
        picture.colourTable[4 * i] = static_cast<std::uint8_t>(i);
        picture.colourTable[4 * i + 1] = static_cast<std::uint8_t>(100 + i);
        picture.colourTable[4 * i + 2] = static_cast<std::uint8_t>(200 + i);
    }
    tarnvale::test::WriteFile(Dir() / "sixteen.bmp", Bytes(picture));
    CDIBitmap loaded;
    ASSERT_TRUE(loaded.LoadFile("sixteen.bmp"));
    ASSERT_NE(loaded.Palette(), nullptr);
    EXPECT_EQ(loaded.Palette()->Size(), 16) << "biClrUsed entries";
    PALETTEENTRY entry{};
    ASSERT_EQ(::GetPaletteEntries(loaded.Palette()->Handle(), 3, 1, &entry), 1u);
    EXPECT_EQ(entry.peRed, 203);
    EXPECT_EQ(entry.peGreen, 103);
    EXPECT_EQ(entry.peBlue, 3);
    EXPECT_EQ(entry.peFlags, 0);
    Surface surface(4, 4);
    loaded.Draw(surface.Dc(), 0, 0);
    EXPECT_EQ(surface.At(0, 0), RGB(203, 103, 3));
    // A header that claims more colours than the table can hold gets a palette of
    // the table, not of memory beyond it.
    picture.header.clrUsed = 100000;
    tarnvale::test::WriteFile(Dir() / "claims.bmp", Bytes(picture));
    ASSERT_TRUE(loaded.LoadFile("claims.bmp"));
    ASSERT_NE(loaded.Palette(), nullptr);
    EXPECT_EQ(loaded.Palette()->Size(), 256);
}

TEST_F(DIBitmapFileTest, SavedPicturesReadBackTheSame) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_PALETTED));
    ASSERT_TRUE(picture.SaveFile("copy.bmp"));
    CDIBitmap copy;
    ASSERT_TRUE(copy.LoadFile("copy.bmp"));
    EXPECT_EQ(copy.Width(), 16);
    EXPECT_EQ(copy.Info()->bmiHeader.biBitCount, 8);
    Surface a(16, 8), b(16, 8);
    picture.Draw(a.Dc(), 0, 0);
    copy.Draw(b.Dc(), 0, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(a.At(x, y), b.At(x, y));
    EXPECT_FALSE(CDIBitmap().SaveFile("empty.bmp"));
    EXPECT_FALSE(std::filesystem::exists(Dir() / "empty.bmp"));
}

TEST(DIBitmap, ResourcesKeepTheirDepthAndEightBitsGetA256EntryPalette) {
    CDIBitmap deep;
    ASSERT_TRUE(deep.LoadFromResource(IDB_TEST_SOLID));
    EXPECT_EQ(deep.Info()->bmiHeader.biBitCount, 24);
    EXPECT_EQ(deep.Palette(), nullptr);

    CDIBitmap paletted;
    ASSERT_TRUE(paletted.LoadFromResource(IDB_TEST_PALETTED));
    EXPECT_EQ(paletted.Info()->bmiHeader.biBitCount, 8);
    ASSERT_NE(paletted.Palette(), nullptr);
    EXPECT_EQ(paletted.Palette()->Size(), 256);
    PALETTEENTRY entry{};
    ::GetPaletteEntries(paletted.Palette()->Handle(), 17, 1, &entry);
    EXPECT_EQ(entry.peRed, 17);
    EXPECT_EQ(entry.peGreen, 238);
    EXPECT_EQ(entry.peBlue, 119);
    Surface surface(16, 8);
    paletted.Draw(surface.Dc(), 0, 0);
    EXPECT_EQ(surface.At(1, 1), RGB(17, 238, 119)) << "pixel (1, 1) has index 17";

    EXPECT_FALSE(CDIBitmap().LoadFromResource(IDB_TEST_MISSING));
}

TEST(DIBitmap, DrawCoversExactlyItsRectangle) {
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFromResource(IDB_TEST_SOLID));
    const COLORREF solid = RGB(40, 90, 140);
    Surface surface(100, 100, kBackground);
    picture.Draw(surface.Dc(), 10, 20);
    EXPECT_EQ(surface.Count(solid, {10, 20, 48, 68}), 38 * 48);
    EXPECT_EQ(surface.Count(solid, {0, 0, 100, 100}), 38 * 48) << "nothing outside";

    Surface stretched(100, 100, kBackground);
    picture.DrawStretched(stretched.Dc(), 1, 2, 76, 96);
    EXPECT_EQ(stretched.Count(solid, {1, 2, 77, 98}), 76 * 96);
    EXPECT_EQ(stretched.Count(solid, {0, 0, 100, 100}), 76 * 96);
}

TEST_F(DIBitmapFileTest, DrawPartCountsSourceRowsFromTheTop) {
    tarnvale::test::WriteFile(Dir() / "rows.bmp", Bytes(RowPicture(6, 8)));
    CDIBitmap picture;
    ASSERT_TRUE(picture.LoadFile("rows.bmp"));
    Surface surface(20, 20, kBackground);
    // Rows 2 and 3 from the top, columns 1 to 4, to (10, 5).
    EXPECT_GT(picture.DrawPart(surface.Dc(), {10, 5, 14, 7}, {1, 2, 5, 4}), 0);
    EXPECT_EQ(surface.At(10, 5), RGB(60, 1, 0));
    EXPECT_EQ(surface.At(13, 6), RGB(90, 4, 0));
    EXPECT_EQ(surface.At(14, 5), kBackground);
    EXPECT_EQ(surface.At(10, 7), kBackground);
    EXPECT_EQ(surface.At(10, 4), kBackground);
}

TEST(DIBitmap, CreateFromBitmapCopiesADeviceBitmap) {
    // A 32-bit bitmap, top row first, written through its bits.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 7, -5, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < 7 * 5; ++i)
        pixels[i] = 0x0B1621; // RGB(11, 22, 33)
    pixels[6] = 0xC86432;     // (6, 0): RGB(200, 100, 50)

    Surface screen(1, 1);
    CDIBitmap picture;
    ASSERT_TRUE(picture.CreateFromBitmap(screen.Dc(), bitmap));
    EXPECT_EQ(picture.Info()->bmiHeader.biBitCount, 24) << "deep pictures are kept at 24 bits";
    EXPECT_EQ(picture.Info()->bmiHeader.biSizeImage, 24u * 5) << "the rows it really holds";
    Surface out(7, 5);
    picture.Draw(out.Dc(), 0, 0);
    EXPECT_EQ(out.At(0, 4), RGB(11, 22, 33));
    EXPECT_EQ(out.At(6, 0), RGB(200, 100, 50));
    ::DeleteObject(bitmap);

    EXPECT_FALSE(picture.CreateFromBitmap(screen.Dc(), nullptr));
    EXPECT_FALSE(picture.Loaded());
}

TEST(MemDC, DrawingReachesTheTargetInOneCopyOfItsClipBox) {
    Surface target(100, 100, kBackground);
    ::IntersectClipRect(target.Dc(), 10, 20, 60, 70);
    const COLORREF drawn = RGB(250, 5, 5);
    {
        CMemDC memory(target.Dc());
        ASSERT_TRUE(memory.OffScreen());
        EXPECT_EQ(memory.Area().left, 10);
        EXPECT_EQ(memory.Area().top, 20);
        EXPECT_EQ(memory.Area().right, 60);
        EXPECT_EQ(memory.Area().bottom, 70);
        HBRUSH brush = ::CreateSolidBrush(drawn);
        const RECT everything{0, 0, 100, 100}; // in the target's coordinates
        ::FillRect(memory, &everything, brush);
        ::DeleteObject(brush);
        ::SelectClipRgn(target.Dc(), nullptr);
        EXPECT_EQ(target.Count(kBackground, {0, 0, 100, 100}), 100 * 100)
            << "nothing reaches the target before the copy";
        ::IntersectClipRect(target.Dc(), 10, 20, 60, 70);
    }
    ::SelectClipRgn(target.Dc(), nullptr);
    EXPECT_EQ(target.Count(drawn, {10, 20, 60, 70}), 50 * 50);
    EXPECT_EQ(target.Count(drawn, {0, 0, 100, 100}), 50 * 50) << "only the clip box";
}

} // namespace
} // namespace tarnvale::ui
