#pragma once

#include "ui/Bmp.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tarnvale::ui {

class CBmpPalette;

// A device-independent bitmap held in memory (header, colour table, bottom-up pixel
// rows) that draws itself at its own size, stretched or in part onto any context.
// Filled from a bitmap resource or read from a .bmp file; pictures of 8 bits per
// pixel or fewer carry a palette for palette displays. Every load that fails leaves
// the object empty, and drawing an empty one does nothing.
class CDIBitmap {
  public:
    CDIBitmap();
    CDIBitmap(const CDIBitmap&) = delete;
    CDIBitmap& operator=(const CDIBitmap&) = delete;
    virtual ~CDIBitmap();

    // Copies the part src (top-down coordinates of the picture) to dest; returns the
    // number of rows set, 0 when empty.
    virtual int DrawPart(HDC dc, const RECT& dest, const RECT& src) const;
    virtual void DrawStretched(HDC dc, int x, int y, int width, int height) const;
    virtual void Draw(HDC dc, int x, int y) const;
    virtual BOOL LoadFile(const char* path);
    // Reads a BMP that starts at the file's current position.
    virtual BOOL Read(std::FILE* file);
    virtual BOOL SaveFile(const char* path) const;
    virtual BOOL Write(std::FILE* file) const;

    BOOL LoadFromResource(UINT id);
    BOOL CreateFromBitmap(HDC dc, HBITMAP bitmap);

    bool Loaded() const { return !m_rows.empty(); }
    int Width() const;
    int Height() const;
    // The colour count (biClrUsed, or 2 to the power of the depth), 0 when empty.
    std::uint64_t ColourCount() const;
    const BITMAPINFO* Info() const;
    const CBmpPalette* Palette() const { return m_palette.get(); }
    // Why the last load failed (for logs and tests; never shown to the player).
    const std::string& LastError() const { return m_lastError; }

  private:
    struct InfoBlock {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    };

    BOOL Fail(const std::string& reason);
    void Adopt(BmpPicture& picture);
    void Release();
    void RebuildPalette();
    // Selects and realises the palette (if any) for a drawing; returns the one to
    // select back.
    HPALETTE UsePalette(HDC dc) const;

    std::unique_ptr<InfoBlock> m_info;
    std::vector<std::uint8_t> m_rows;
    std::unique_ptr<CBmpPalette> m_palette;
    std::string m_lastError;
};

} // namespace tarnvale::ui
