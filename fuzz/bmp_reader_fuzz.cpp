// The BMP reader over arbitrary bytes: it must never read outside them, and what it
// accepts must describe rows that are all there, come out bottom-up, and write
// back to a file that reads the same.
#include "ui/Bmp.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

using namespace tarnvale::ui;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    BmpLayout layout;
    const std::string layoutError = ReadBmpLayout(bytes, layout);
    BmpPicture picture;
    const std::string error = ParseBmp(bytes, picture);

    if (!layoutError.empty() && error != layoutError)
        std::abort(); // both readings refuse a bad header the same way
    if (!error.empty()) {
        if (error.back() != '\n' || !picture.rows.empty())
            std::abort(); // every refusal has its text and leaves the picture empty
        return 0;
    }

    const DibHeader& header = picture.header;
    if (header.width <= 0 || header.height <= 0 || header.size != kDibHeaderSize)
        std::abort();
    if (picture.rows.size() != DibRowBytes(header.width, header.bitCount) * header.height)
        std::abort(); // the drawing functions read exactly this many bytes
    if (layout.End() > size)
        std::abort();

    BmpPicture again;
    if (!ParseBmp(EncodeBmp(picture), again).empty())
        std::abort();
    if (again.rows != picture.rows || again.header.width != header.width ||
        again.header.height != header.height || again.header.bitCount != header.bitCount ||
        again.header.compression != header.compression)
        std::abort();
    return 0;
}
