// The BMP reader over untrusted bytes: what it accepts, what it refuses and with
// which text, and that every size in a header is checked against the data.
#include "ui/Bmp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace tarnvale::ui {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[at + i];
    return value;
}

// A picture whose rows count up byte by byte, so every row is distinguishable.
BmpPicture MakePicture(int width, int height, unsigned bitCount, std::uint32_t clrUsed = 0) {
    BmpPicture picture;
    picture.header.width = width;
    picture.header.height = height;
    picture.header.bitCount = static_cast<std::uint16_t>(bitCount);
    picture.header.clrUsed = clrUsed;
    picture.rows.resize(DibRowBytes(width, bitCount) * height);
    for (std::size_t i = 0; i < picture.rows.size(); ++i)
        picture.rows[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (std::size_t i = 0; i < picture.colourTable.size(); ++i)
        picture.colourTable[i] = static_cast<std::uint8_t>(255 - i % 256);
    return picture;
}

std::string Parse(const Bytes& bytes, BmpPicture& picture) {
    return ParseBmp(bytes, picture);
}

std::string Parse(const Bytes& bytes) {
    BmpPicture picture;
    return ParseBmp(bytes, picture);
}

TEST(BmpArithmetic, RowsArePaddedToFourBytesWithoutOverflow) {
    EXPECT_EQ(DibRowBytes(1, 1), 4u);
    EXPECT_EQ(DibRowBytes(32, 1), 4u);
    EXPECT_EQ(DibRowBytes(33, 1), 8u);
    EXPECT_EQ(DibRowBytes(3, 4), 4u);
    EXPECT_EQ(DibRowBytes(3, 24), 12u);
    EXPECT_EQ(DibRowBytes(4, 24), 12u);
    EXPECT_EQ(DibRowBytes(385, 24), 1156u);
    EXPECT_EQ(DibRowBytes(339, 8), 340u);
    EXPECT_EQ(DibRowBytes(std::numeric_limits<std::int32_t>::max(), 32),
              std::uint64_t{std::numeric_limits<std::int32_t>::max()} * 4);
    EXPECT_EQ(DibRowBytes(0, 24), 0u);
    EXPECT_EQ(DibRowBytes(-5, 24), 0u);
}

TEST(BmpArithmetic, ColourCountIsClrUsedOrTwoToTheDepth) {
    DibHeader header;
    header.bitCount = 8;
    EXPECT_EQ(DibColourCount(header), 256u);
    header.clrUsed = 16;
    EXPECT_EQ(DibColourCount(header), 16u);
    header.clrUsed = 0;
    header.bitCount = 1;
    EXPECT_EQ(DibColourCount(header), 2u);
    header.bitCount = 4;
    EXPECT_EQ(DibColourCount(header), 16u);
    header.bitCount = 32;
    EXPECT_EQ(DibColourCount(header), 0u) << "no 2^32-entry table";
}

TEST(BmpReader, ReadsA24BitPictureWithItsRowsAndTheBytesAfterTheHeader) {
    const BmpPicture original = MakePicture(3, 2, 24);
    const Bytes file = EncodeBmp(original);
    EXPECT_EQ(file.size(), 54u + 24u);
    EXPECT_EQ(Get32(file, 10), 54u) << "bfOffBits: no colour table for 24 bits";

    BmpPicture picture;
    ASSERT_EQ(Parse(file, picture), "");
    EXPECT_EQ(picture.header.width, 3);
    EXPECT_EQ(picture.header.height, 2);
    EXPECT_EQ(picture.header.bitCount, 24);
    EXPECT_EQ(picture.rows, original.rows);
    // The table is filled from whatever follows the header, up to 1024 bytes: here
    // the rows themselves, then zeros.
    EXPECT_EQ(std::memcmp(picture.colourTable.data(), original.rows.data(), 24), 0);
    EXPECT_EQ(picture.colourTable[24], 0);
}

TEST(BmpReader, TakesTheRowsFromBfOffBitsAndTheTableFromAfterTheHeader) {
    const BmpPicture original = MakePicture(4, 3, 8, 16);
    Bytes file = EncodeBmp(original);
    EXPECT_EQ(Get32(file, 10), 54u + 16 * 4) << "the table has clrUsed entries";
    // Move the rows 100 bytes further and say so in bfOffBits.
    const std::size_t offset = Get32(file, 10);
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(offset), 100, 0xEE);
    Put32(file, 10, static_cast<std::uint32_t>(offset + 100));

    BmpPicture picture;
    ASSERT_EQ(Parse(file, picture), "");
    EXPECT_EQ(picture.rows, original.rows);
    EXPECT_EQ(std::memcmp(picture.colourTable.data(), original.colourTable.data(), 64), 0);
    EXPECT_EQ(picture.colourTable[64], 0xEE) << "the next 1024 bytes, whatever the count";
}

TEST(BmpReader, RefusesWhatIsNotABmpWithTheReadersTexts) {
    EXPECT_EQ(Parse({}), kBmpNotDib);
    EXPECT_EQ(Parse({'B'}), kBmpNotDib);
    Bytes file = EncodeBmp(MakePicture(2, 2, 24));
    file[0] = 'M';
    file[1] = 'B';
    EXPECT_EQ(Parse(file), "Error:Unexpected file type, not a DIB\n");

    // The 12-byte header of OS/2 bitmaps, and every other header size.
    for (std::uint32_t size : {12u, 64u, 108u, 124u, 0u}) {
        file = EncodeBmp(MakePicture(2, 2, 24));
        Put32(file, 14, size);
        EXPECT_EQ(Parse(file), "Error:OS2 PM BMP Format not supported\n") << size;
    }
}

TEST(BmpReader, RefusesTruncatedHeaders) {
    const Bytes file = EncodeBmp(MakePicture(2, 2, 24));
    for (std::size_t length : {2u, 13u, 14u, 17u}) {
        EXPECT_EQ(Parse(Bytes(file.begin(), file.begin() + length)), kBmpTruncatedHeader) << length;
    }
    EXPECT_EQ(Parse(Bytes(file.begin(), file.begin() + 53)), kBmpTruncatedHeader);
}

TEST(BmpReader, RowsThatTheHeaderPromisesMustAllBeThere) {
    const Bytes file = EncodeBmp(MakePicture(5, 4, 24));
    // One byte short of the last row.
    EXPECT_EQ(Parse(Bytes(file.begin(), file.end() - 1)), kBmpTruncatedRows);

    // A height that needs more rows than the file has.
    Bytes tall = file;
    Put32(tall, 22, 5);
    EXPECT_EQ(Parse(tall), kBmpTruncatedRows);

    // bfOffBits past the end, including the largest value (no wrap-around).
    for (std::uint32_t offset : {static_cast<std::uint32_t>(file.size()), 0xFFFFFFFFu}) {
        Bytes moved = file;
        Put32(moved, 10, offset);
        EXPECT_EQ(Parse(moved), kBmpTruncatedRows) << offset;
    }

    // Huge sizes fail cleanly instead of allocating or over-reading.
    Bytes huge = file;
    Put32(huge, 18, 0x7FFFFFFF);
    Put32(huge, 22, 0x7FFFFFFF);
    Put32(huge, 26, 32 << 16 | 1); // planes 1, 32 bits
    EXPECT_EQ(Parse(huge), kBmpTruncatedRows);
}

TEST(BmpReader, BfSizeIsNotTrusted) {
    // Many writers leave bfSize 0 or get it wrong; the rows the header describes are
    // what counts, and they are checked against the data itself.
    const BmpPicture original = MakePicture(3, 3, 24);
    for (std::uint32_t size : {0u, 10u, 0xFFFFFFFFu}) {
        Bytes file = EncodeBmp(original);
        Put32(file, 2, size);
        BmpPicture picture;
        ASSERT_EQ(Parse(file, picture), "") << size;
        EXPECT_EQ(picture.rows, original.rows);
    }
}

TEST(BmpReader, RefusesSizesAndDepthsNoDrawingCanTake) {
    auto withField = [](std::size_t at, std::uint32_t value, bool sixteenBits = false) {
        Bytes file = EncodeBmp(MakePicture(2, 2, 24));
        if (sixteenBits) {
            file[at] = static_cast<std::uint8_t>(value);
            file[at + 1] = static_cast<std::uint8_t>(value >> 8);
        } else {
            Put32(file, at, value);
        }
        return Parse(file);
    };
    EXPECT_EQ(withField(18, 0), kBmpBadGeometry) << "width 0";
    EXPECT_EQ(withField(18, static_cast<std::uint32_t>(-2)), kBmpBadGeometry) << "negative width";
    EXPECT_EQ(withField(22, 0), kBmpBadGeometry) << "height 0";
    EXPECT_EQ(withField(22, 0x80000000u), kBmpBadGeometry) << "height without a magnitude";
    for (unsigned depth : {0u, 2u, 3u, 7u, 15u, 48u, 64u})
        EXPECT_EQ(withField(28, depth, true), kBmpBadGeometry) << depth;
    EXPECT_EQ(withField(30, 1), kBmpCompressed) << "RLE8";
    EXPECT_EQ(withField(30, 2), kBmpCompressed) << "RLE4";
    EXPECT_EQ(withField(30, 3), kBmpCompressed) << "bit fields need 16 or 32 bits";
}

TEST(BmpReader, TopDownPicturesComeOutBottomUp) {
    BmpPicture original = MakePicture(2, 3, 24);
    Bytes file = EncodeBmp(original);
    Put32(file, 22, static_cast<std::uint32_t>(-3));
    BmpPicture picture;
    ASSERT_EQ(Parse(file, picture), "");
    EXPECT_EQ(picture.header.height, 3);
    const std::size_t row = 8;
    for (std::size_t r = 0; r < 3; ++r)
        EXPECT_EQ(
            std::memcmp(picture.rows.data() + r * row, original.rows.data() + (2 - r) * row, row),
            0)
            << r;
}

TEST(BmpWriter, WritesWhatTheReaderReadsBack) {
    for (const BmpPicture& original :
         {MakePicture(7, 5, 1), MakePicture(9, 2, 4), MakePicture(3, 3, 8),
          MakePicture(3, 3, 8, 20), MakePicture(5, 1, 16), MakePicture(580, 2, 24),
          MakePicture(2, 2, 32)}) {
        const Bytes file = EncodeBmp(original);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(Get32(file, 2), file.size()) << "bfSize";
        EXPECT_EQ(Get32(file, 14), 40u);
        BmpPicture back;
        ASSERT_EQ(Parse(file, back), "");
        EXPECT_EQ(back.rows, original.rows);
        EXPECT_EQ(back.header.bitCount, original.header.bitCount);
        const std::size_t tableBytes = Get32(file, 10) - 54;
        EXPECT_EQ(std::memcmp(back.colourTable.data(), original.colourTable.data(), tableBytes), 0);
    }
    EXPECT_EQ(Get32(EncodeBmp(MakePicture(3, 3, 8)), 10), 54u + 1024u) << "256 colours";
    BmpPicture masks = MakePicture(2, 2, 32);
    masks.header.compression = kBiBitfields;
    EXPECT_EQ(Get32(EncodeBmp(masks), 10), 54u + 12u) << "three colour masks";
    EXPECT_EQ(Parse(EncodeBmp(masks)), "");
}

} // namespace
} // namespace tarnvale::ui
