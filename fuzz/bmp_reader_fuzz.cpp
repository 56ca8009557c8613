// The BMP reader over arbitrary bytes: it must never read outside them, and what it
// accepts must describe rows that are all there, come out bottom-up, and write
// back to a file that reads the same.
//
// Each input is read twice: as it is, and with its headers shaped into a plausible
// small picture (sizes, depth, offset taken from the input's own bytes). Random
// headers almost never describe a picture whose rows fit in a few kilobytes, so
// without the second reading the accepting half of the reader would go unexplored.
#include "ui/Bmp.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

using namespace tarnvale::ui;

namespace {

void Check(std::span<const std::uint8_t> bytes) {
    BmpLayout layout;
    const std::string layoutError = ReadBmpLayout(bytes, layout);
    BmpPicture picture;
    const std::string error = ParseBmp(bytes, picture);

    if (!layoutError.empty() && error != layoutError)
        std::abort(); // both readings refuse a bad header the same way
    if (!error.empty()) {
        if (error.back() != '\n' || !picture.rows.empty())
            std::abort(); // every refusal has its text and leaves the picture empty
        return;
    }

    const DibHeader& header = picture.header;
    if (header.width <= 0 || header.height <= 0 || header.size != kDibHeaderSize)
        std::abort();
    if (picture.rows.size() != DibRowBytes(header.width, header.bitCount) * header.height)
        std::abort(); // the drawing functions read exactly this many bytes
    if (layout.End() > bytes.size())
        std::abort();

    BmpPicture again;
    if (!ParseBmp(EncodeBmp(picture), again).empty())
        std::abort();
    if (again.rows != picture.rows || again.header.width != header.width ||
        again.header.height != header.height || again.header.bitCount != header.bitCount ||
        again.header.compression != header.compression)
        std::abort();
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> Shaped(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    static const std::uint16_t depths[] = {1, 4, 8, 16, 24, 32, 0, 2};
    const std::uint16_t depth = depths[data[28] % 8];
    const auto width = static_cast<std::int32_t>(data[18] % 48) - 1; // -1 to 46
    auto height = static_cast<std::int32_t>(data[22] % 48) - 1;      // -1 to 46
    if (data[25] & 0x80)
        height = -height; // top-down
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 10, 54u + (data[10] | data[11] << 8) % 1100u);
    Put32(bytes, 14, 40);
    Put32(bytes, 18, static_cast<std::uint32_t>(width));
    Put32(bytes, 22, static_cast<std::uint32_t>(height));
    bytes[28] = static_cast<std::uint8_t>(depth);
    bytes[29] = 0;
    Put32(bytes, 30, data[30] % 5); // RGB, RLE8, RLE4, bit fields, JPEG
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Check({data, size});
    if (size >= kBmpFileHeaderSize + kDibHeaderSize)
        Check(Shaped(data, size));
    return 0;
}
