#pragma once

#include <windows.h>

#include <utility>

namespace tarnvale::ui {

// Owns one GDI object (bitmap, font, palette, brush) and deletes it when replaced
// or destroyed.
template <class Handle> class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    GdiObject(GdiObject&& other) noexcept : m_handle(other.Release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { Reset(); }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(Handle handle = nullptr) {
        if (m_handle)
            ::DeleteObject(m_handle);
        m_handle = handle;
    }
    Handle Release() { return std::exchange(m_handle, nullptr); }

  private:
    Handle m_handle = nullptr;
};

using GdiBitmap = GdiObject<HBITMAP>;
using GdiFont = GdiObject<HFONT>;
using GdiPalette = GdiObject<HPALETTE>;
using GdiBrush = GdiObject<HBRUSH>;

// A memory device context compatible with another one. What is selected into it
// through Select is selected out again before the context is deleted, so the
// selected bitmap survives.
class MemoryDC {
  public:
    explicit MemoryDC(HDC compatibleWith) : m_dc(::CreateCompatibleDC(compatibleWith)) {}
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() {
        if (m_previous)
            ::SelectObject(m_dc, m_previous);
        if (m_dc)
            ::DeleteDC(m_dc);
    }

    HDC Get() const { return m_dc; }
    // Selects a bitmap; false when there is none or it cannot be selected.
    bool Select(HBITMAP bitmap) {
        if (!m_dc || !bitmap)
            return false;
        HGDIOBJ previous = ::SelectObject(m_dc, bitmap);
        if (!previous || previous == HGDI_ERROR)
            return false;
        if (!m_previous)
            m_previous = previous;
        return true;
    }

  private:
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

// Width and height of a bitmap; false when the handle is not a bitmap.
inline bool BitmapSize(HBITMAP bitmap, SIZE& size) {
    BITMAP info{};
    if (!bitmap || ::GetObjectType(bitmap) != OBJ_BITMAP ||
        ::GetObjectA(bitmap, sizeof info, &info) == 0)
        return false;
    size = {info.bmWidth, info.bmHeight};
    return true;
}

// The module whose resources the toolkit loads: the program itself.
inline HINSTANCE ResourceModule() {
    return ::GetModuleHandleA(nullptr);
}

// A bitmap resource of the program by its integer id; null when it is missing.
inline HBITMAP LoadBitmapResource(UINT id) {
    return id ? ::LoadBitmapA(ResourceModule(), MAKEINTRESOURCEA(id)) : nullptr;
}

} // namespace tarnvale::ui
