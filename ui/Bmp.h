#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The BMP file format as the toolkit reads and writes it: a 14-byte file header, a
// 40-byte info header, a colour table and bottom-up pixel rows padded to four bytes.
// The reader is a pure function over bytes that may come from anywhere: every size
// it finds in the headers is checked against the bytes that are really there.
namespace tarnvale::ui {

inline constexpr std::size_t kBmpFileHeaderSize = 14;
inline constexpr std::size_t kDibHeaderSize = 40;
// The colour table always has room for 256 entries of four bytes.
inline constexpr std::size_t kColourTableSize = 1024;
inline constexpr std::uint16_t kBmpSignature = 0x4D42; // "BM" in file order
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiBitfields = 3;

// Failure texts of the reader (internal reasons, not shown to players).
inline constexpr char kBmpNotDib[] = "Error:Unexpected file type, not a DIB\n";
inline constexpr char kBmpOs2Header[] = "Error:OS2 PM BMP Format not supported\n";
inline constexpr char kBmpTruncatedHeader[] = "Error:BMP headers are truncated\n";
inline constexpr char kBmpBadGeometry[] = "Error:Unsupported BMP size or bit depth\n";
inline constexpr char kBmpCompressed[] = "Error:Compressed BMP not supported\n";
inline constexpr char kBmpTruncatedRows[] = "Error:BMP pixel rows are truncated\n";

// The 40-byte BITMAPINFOHEADER.
struct DibHeader {
    std::uint32_t size = kDibHeaderSize;
    std::int32_t width = 0;
    std::int32_t height = 0; // the reader always gives bottom-up pictures: positive
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

// Bytes of one pixel row: width x depth bits, padded to a multiple of 32 bits. 64
// bits wide, so no header value can overflow it.
std::uint64_t DibRowBytes(std::int64_t width, unsigned bitsPerPixel);
// The colour count: clrUsed, or 2 to the power of the depth when that is 0.
std::uint64_t DibColourCount(const DibHeader& header);

// Where a BMP's parts are, as its headers say and its size allows.
struct BmpLayout {
    DibHeader header;
    std::uint32_t pixelOffset = 0; // bfOffBits, from the start of the BMP
    std::uint64_t rowBytes = 0;    // one row
    std::uint64_t pixelBytes = 0;  // every row
    bool topDown = false;          // the file stores its rows top row first
    // Bytes from the start of the BMP to the end of its last row.
    std::uint64_t End() const { return pixelOffset + pixelBytes; }
};

struct BmpPicture {
    DibHeader header;
    // Always 1024 bytes: the bytes after the info header, as many as there are.
    std::array<std::uint8_t, kColourTableSize> colourTable{};
    std::vector<std::uint8_t> rows; // bottom-up
};

// Reads and checks the headers at the start of a BMP (the first 54 bytes are
// enough). Returns an empty string or the failure text.
std::string ReadBmpLayout(std::span<const std::uint8_t> bytes, BmpLayout& layout);
// Reads a whole BMP. Returns an empty string or the failure text; on failure the
// picture is left empty.
std::string ParseBmp(std::span<const std::uint8_t> bytes, BmpPicture& picture);
// Writes a picture as a BMP file: "BM", the 40-byte header, the colour table that
// its depth and colour count call for, the rows.
std::vector<std::uint8_t> EncodeBmp(const BmpPicture& picture);

} // namespace tarnvale::ui
