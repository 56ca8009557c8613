#include "ui/win32/CDIBitmap.h"

#include "ui/win32/CBmpPalette.h"
#include "ui/win32/GdiObjects.h"

#include <cstring>
#include <new>

namespace tarnvale::ui {
namespace {

// Failure texts of the in-memory conversion (internal reasons, never shown).
constexpr char kNoRowStorage[] = "could not allocate data storage\n";
constexpr char kNoInfoBlock[] = "could not allocate BITMAPINFO struct\n";
constexpr char kShortGetDIBits[] =
    "call to GetDIBits did not return full number of requested scan lines\n";
constexpr char kNoFile[] = "Error:Cannot open the BMP file\n";
constexpr char kNoResource[] = "Error:Cannot load the bitmap resource\n";
constexpr char kNotABitmap[] = "Error:The handle is not a bitmap\n";
constexpr char kWriteFailed[] = "Error:Cannot write the BMP file\n";

// No picture of the launcher comes near this; a file that claims more is refused
// before anything is allocated for it.
constexpr std::uint64_t kMaxPictureBytes = 256u << 20;

} // namespace

CDIBitmap::CDIBitmap() = default;
CDIBitmap::~CDIBitmap() = default;

int CDIBitmap::Width() const {
    return m_info ? m_info->header.biWidth : 0;
}
int CDIBitmap::Height() const {
    return m_info ? m_info->header.biHeight : 0;
}

std::uint64_t CDIBitmap::ColourCount() const {
    if (!m_info)
        return 0;
    DibHeader header;
    header.bitCount = m_info->header.biBitCount;
    header.clrUsed = m_info->header.biClrUsed;
    return DibColourCount(header);
}

const BITMAPINFO* CDIBitmap::Info() const {
    return m_info ? reinterpret_cast<const BITMAPINFO*>(m_info.get()) : nullptr;
}

BOOL CDIBitmap::Fail(const std::string& reason) {
    Release();
    m_lastError = reason;
    return FALSE;
}

void CDIBitmap::Release() {
    m_info.reset();
    m_rows = {};
    m_palette.reset();
}

void CDIBitmap::RebuildPalette() {
    m_palette.reset();
    if (m_info && m_info->header.biBitCount < 9)
        m_palette = std::make_unique<CBmpPalette>(*this);
}

void CDIBitmap::Adopt(BmpPicture& picture) {
    m_info = std::make_unique<InfoBlock>();
    std::memset(m_info.get(), 0, sizeof(InfoBlock));
    BITMAPINFOHEADER& header = m_info->header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = picture.header.width;
    header.biHeight = picture.header.height;
    header.biPlanes = picture.header.planes;
    header.biBitCount = picture.header.bitCount;
    header.biCompression = picture.header.compression;
    header.biSizeImage = picture.header.sizeImage;
    header.biXPelsPerMeter = picture.header.xPelsPerMeter;
    header.biYPelsPerMeter = picture.header.yPelsPerMeter;
    header.biClrUsed = picture.header.clrUsed;
    header.biClrImportant = picture.header.clrImportant;
    static_assert(sizeof m_info->colours == kColourTableSize);
    std::memcpy(m_info->colours, picture.colourTable.data(), kColourTableSize);
    m_rows = std::move(picture.rows);
    m_lastError.clear();
    RebuildPalette();
}

BOOL CDIBitmap::LoadFile(const char* path) {
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file)
        return Fail(kNoFile);
    const BOOL result = Read(file);
    std::fclose(file);
    return result;
}

BOOL CDIBitmap::Read(std::FILE* file) {
    Release();
    // The headers and the colour table first; then exactly the bytes the headers
    // ask for, once they are known to be sane.
    std::vector<std::uint8_t> bytes(kBmpFileHeaderSize + kDibHeaderSize + kColourTableSize);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    BmpLayout layout;
    if (std::string error = ReadBmpLayout(bytes, layout); !error.empty())
        return Fail(error);
    if (layout.End() > kMaxPictureBytes)
        return Fail(kNoRowStorage);
    if (layout.End() > bytes.size()) {
        const std::size_t have = bytes.size();
        bytes.resize(static_cast<std::size_t>(layout.End()));
        bytes.resize(have + std::fread(bytes.data() + have, 1, bytes.size() - have, file));
    }
    BmpPicture picture;
    if (std::string error = ParseBmp(bytes, picture); !error.empty())
        return Fail(error);
    Adopt(picture);
    return TRUE;
}

BOOL CDIBitmap::SaveFile(const char* path) const {
    std::FILE* file = path ? std::fopen(path, "wb") : nullptr;
    if (!file)
        return FALSE;
    const bool written = Write(file);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(path); // no half-written picture under the name
        return FALSE;
    }
    return TRUE;
}

BOOL CDIBitmap::Write(std::FILE* file) const {
    if (!Loaded() || !file)
        return FALSE;
    BmpPicture picture;
    const BITMAPINFOHEADER& header = m_info->header;
    picture.header.width = header.biWidth;
    picture.header.height = header.biHeight;
    picture.header.planes = header.biPlanes;
    picture.header.bitCount = header.biBitCount;
    picture.header.compression = header.biCompression;
    picture.header.sizeImage = header.biSizeImage;
    picture.header.xPelsPerMeter = header.biXPelsPerMeter;
    picture.header.yPelsPerMeter = header.biYPelsPerMeter;
    picture.header.clrUsed = header.biClrUsed;
    picture.header.clrImportant = header.biClrImportant;
    std::memcpy(picture.colourTable.data(), m_info->colours, kColourTableSize);
    picture.rows = m_rows;
    const std::vector<std::uint8_t> bytes = EncodeBmp(picture);
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() ? TRUE : FALSE;
}

BOOL CDIBitmap::LoadFromResource(UINT id) {
    HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(id),
                                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap)
        return Fail(kNoResource);
    HWND desktop = ::GetDesktopWindow();
    HDC dc = ::GetDC(desktop);
    const BOOL result = CreateFromBitmap(dc, bitmap);
    ::ReleaseDC(desktop, dc);
    ::DeleteObject(bitmap);
    return result;
}

BOOL CDIBitmap::CreateFromBitmap(HDC dc, HBITMAP bitmap) {
    BITMAP description{};
    if (!bitmap || ::GetObjectType(bitmap) != OBJ_BITMAP ||
        ::GetObjectA(bitmap, sizeof description, &description) == 0)
        return Fail(kNotABitmap);
    Release();
    // Deep pictures are kept at 24 bits; up to 8 bits they keep their depth and
    // their colour table.
    const unsigned depth = description.bmBitsPixel <= 8 ? description.bmBitsPixel : 24;
    const std::uint64_t rowBytes = DibRowBytes(description.bmWidth, depth);
    const std::uint64_t size = rowBytes * static_cast<std::uint64_t>(description.bmHeight);
    if (size == 0 || size > kMaxPictureBytes)
        return Fail(kNoRowStorage);
    try {
        m_rows.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return Fail(kNoRowStorage);
    }
    m_info.reset(new (std::nothrow) InfoBlock{});
    if (!m_info)
        return Fail(kNoInfoBlock);
    BITMAPINFOHEADER& header = m_info->header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = description.bmWidth;
    header.biHeight = description.bmHeight;
    header.biPlanes = description.bmPlanes;
    header.biBitCount = static_cast<WORD>(depth);
    header.biCompression = BI_RGB;
    // The size of the rows this object really holds, at the depth it keeps.
    header.biSizeImage = static_cast<DWORD>(size);
    const int lines =
        ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(description.bmHeight), m_rows.data(),
                    reinterpret_cast<BITMAPINFO*>(m_info.get()), DIB_RGB_COLORS);
    if (lines != description.bmHeight)
        return Fail(kShortGetDIBits);
    m_lastError.clear();
    RebuildPalette();
    return TRUE;
}

HPALETTE CDIBitmap::UsePalette(HDC dc) const {
    if (!m_palette || !m_palette->Handle())
        return nullptr;
    HPALETTE previous = ::SelectPalette(dc, m_palette->Handle(), FALSE);
    ::RealizePalette(dc);
    ::SetStretchBltMode(dc, COLORONCOLOR);
    return previous;
}

void CDIBitmap::DrawStretched(HDC dc, int x, int y, int width, int height) const {
    HPALETTE previous = UsePalette(dc);
    if (Loaded())
        ::StretchDIBits(dc, x, y, width, height, 0, 0, Width(), Height(), m_rows.data(), Info(),
                        DIB_RGB_COLORS, SRCCOPY);
    if (previous)
        ::SelectPalette(dc, previous, FALSE);
}

void CDIBitmap::Draw(HDC dc, int x, int y) const {
    DrawStretched(dc, x, y, Width(), Height());
}

int CDIBitmap::DrawPart(HDC dc, const RECT& dest, const RECT& src) const {
    if (!Loaded())
        return 0;
    HPALETTE previous = UsePalette(dc);
    // Source rectangles count rows from the top; the rows are stored bottom-up.
    const int sourceHeight = src.bottom - src.top;
    const int lines = ::SetDIBitsToDevice(
        dc, dest.left, dest.top, static_cast<DWORD>(dest.right - dest.left),
        static_cast<DWORD>(dest.bottom - dest.top), src.left, Height() - src.top - sourceHeight, 0,
        static_cast<UINT>(Height()), m_rows.data(), Info(), DIB_RGB_COLORS);
    if (previous)
        ::SelectPalette(dc, previous, FALSE);
    return lines;
}

} // namespace tarnvale::ui
