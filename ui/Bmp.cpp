#include "ui/Bmp.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tarnvale::ui {
namespace {

std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool SupportedDepth(unsigned bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

// Entries of the colour table a written file carries.
std::size_t WrittenColourEntries(const DibHeader& header) {
    const std::uint64_t count =
        header.bitCount <= 8 ? DibColourCount(header) : std::uint64_t{header.clrUsed};
    std::size_t entries = static_cast<std::size_t>(std::min<std::uint64_t>(count, 256));
    if (header.compression == kBiBitfields)
        entries = std::max<std::size_t>(entries, 3); // the three colour masks
    return entries;
}

} // namespace

std::uint64_t DibRowBytes(std::int64_t width, unsigned bitsPerPixel) {
    if (width <= 0 || bitsPerPixel == 0 || bitsPerPixel > 64)
        return 0;
    const std::uint64_t bits = static_cast<std::uint64_t>(width) * bitsPerPixel;
    return (bits + 31) / 32 * 4;
}

std::uint64_t DibColourCount(const DibHeader& header) {
    if (header.clrUsed != 0)
        return header.clrUsed;
    if (header.bitCount >= 32)
        return 0; // no table of 2^32 colours; deep pictures need none
    return std::uint64_t{1} << header.bitCount;
}

std::string ReadBmpLayout(std::span<const std::uint8_t> bytes, BmpLayout& layout) {
    layout = BmpLayout{};
    if (bytes.size() < 2 || Read16(bytes, 0) != kBmpSignature)
        return kBmpNotDib;
    if (bytes.size() < kBmpFileHeaderSize + 4)
        return kBmpTruncatedHeader;
    const std::uint32_t infoSize = Read32(bytes, kBmpFileHeaderSize);
    if (infoSize != kDibHeaderSize)
        return kBmpOs2Header;
    if (bytes.size() < kBmpFileHeaderSize + kDibHeaderSize)
        return kBmpTruncatedHeader;

    const std::size_t at = kBmpFileHeaderSize;
    DibHeader& header = layout.header;
    header.size = infoSize;
    header.width = static_cast<std::int32_t>(Read32(bytes, at + 4));
    header.height = static_cast<std::int32_t>(Read32(bytes, at + 8));
    header.planes = Read16(bytes, at + 12);
    header.bitCount = Read16(bytes, at + 14);
    header.compression = Read32(bytes, at + 16);
    header.sizeImage = Read32(bytes, at + 20);
    header.xPelsPerMeter = static_cast<std::int32_t>(Read32(bytes, at + 24));
    header.yPelsPerMeter = static_cast<std::int32_t>(Read32(bytes, at + 28));
    header.clrUsed = Read32(bytes, at + 32);
    header.clrImportant = Read32(bytes, at + 36);
    layout.pixelOffset = Read32(bytes, 10);

    // The drawing functions take width, height and depth from the header and read
    // that many rows, so the reader accepts only what it can prove is all there.
    if (header.width <= 0 || header.height == 0 ||
        header.height == std::numeric_limits<std::int32_t>::min() ||
        !SupportedDepth(header.bitCount))
        return kBmpBadGeometry;
    const bool bitfields =
        header.compression == kBiBitfields && (header.bitCount == 16 || header.bitCount == 32);
    if (header.compression != kBiRgb && !bitfields)
        return kBmpCompressed;

    layout.topDown = header.height < 0;
    if (layout.topDown)
        header.height = -header.height;
    layout.rowBytes = DibRowBytes(header.width, header.bitCount);
    layout.pixelBytes = layout.rowBytes * static_cast<std::uint64_t>(header.height);
    return {};
}

std::string ParseBmp(std::span<const std::uint8_t> bytes, BmpPicture& picture) {
    picture = BmpPicture{};
    BmpLayout layout;
    if (std::string error = ReadBmpLayout(bytes, layout); !error.empty())
        return error;
    if (layout.End() > bytes.size())
        return kBmpTruncatedRows;

    BmpPicture read;
    read.header = layout.header;
    // The colour table is taken from right after the info header, 1024 bytes or as
    // many as there are, whatever the colour count: room for every table a picture
    // of up to 8 bits can have and for the masks of a bit-field picture.
    const std::size_t tableStart = kBmpFileHeaderSize + kDibHeaderSize;
    const std::size_t tableBytes = std::min(kColourTableSize, bytes.size() - tableStart);
    std::memcpy(read.colourTable.data(), bytes.data() + tableStart, tableBytes);

    const auto rowBytes = static_cast<std::size_t>(layout.rowBytes);
    const auto height = static_cast<std::size_t>(layout.header.height);
    const std::uint8_t* rows = bytes.data() + layout.pixelOffset;
    read.rows.resize(static_cast<std::size_t>(layout.pixelBytes));
    if (layout.topDown) {
        // Kept bottom-up like every other picture, so that part drawing can count
        // its rows one way.
        for (std::size_t row = 0; row < height; ++row)
            std::memcpy(read.rows.data() + row * rowBytes, rows + (height - 1 - row) * rowBytes,
                        rowBytes);
    } else {
        std::memcpy(read.rows.data(), rows, read.rows.size());
    }
    picture = std::move(read);
    return {};
}

std::vector<std::uint8_t> EncodeBmp(const BmpPicture& picture) {
    const DibHeader& header = picture.header;
    const std::size_t entries = WrittenColourEntries(header);
    const auto offset =
        static_cast<std::uint32_t>(kBmpFileHeaderSize + kDibHeaderSize + entries * 4);
    const std::uint64_t fileSize = offset + picture.rows.size();

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(fileSize));
    Put16(out, kBmpSignature);
    Put32(out, static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSize, 0xFFFFFFFFu)));
    Put32(out, 0); // reserved
    Put32(out, offset);
    Put32(out, kDibHeaderSize);
    Put32(out, static_cast<std::uint32_t>(header.width));
    Put32(out, static_cast<std::uint32_t>(header.height));
    Put16(out, header.planes);
    Put16(out, header.bitCount);
    Put32(out, header.compression);
    Put32(out, header.sizeImage);
    Put32(out, static_cast<std::uint32_t>(header.xPelsPerMeter));
    Put32(out, static_cast<std::uint32_t>(header.yPelsPerMeter));
    Put32(out, header.clrUsed);
    Put32(out, header.clrImportant);
    out.insert(out.end(), picture.colourTable.begin(),
               picture.colourTable.begin() + static_cast<std::ptrdiff_t>(entries * 4));
    out.insert(out.end(), picture.rows.begin(), picture.rows.end());
    return out;
}

} // namespace tarnvale::ui
