#include "ui/ProgressMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

namespace tarnvale::ui {
namespace {

int SaturateToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

// trunc(value) as an int; values beyond the int range saturate instead of being
// undefined, as a position far beyond the upper limit can produce.
int TruncateToInt(double value) {
    if (std::isnan(value))
        return 0;
    const double limited = std::clamp(value, static_cast<double>(std::numeric_limits<int>::min()),
                                      static_cast<double>(std::numeric_limits<int>::max()));
    return static_cast<int>(std::trunc(limited));
}

} // namespace

int BitmapBarRange(int range) {
    return range < 1 ? 1 : range;
}

int BitmapBarPosition(int position, int range) {
    return std::clamp(position, 0, BitmapBarRange(range));
}

int BitmapBarFilledWidth(int position, int range, int imageWidth) {
    const long long p = std::max(position, 1);
    const long long r = std::max(range, 1);
    return SaturateToInt(p * imageWidth / r);
}

TextProgressState::Move TextProgressState::SetPos(int position, int barLength) {
    const int old = m_position;
    m_position = position;
    const int extent = FilledLength(barLength);
    if (extent == m_filledExtent)
        return {old, false};
    m_filledExtent = extent;
    return {old, true};
}

int TextProgressState::Offset(int delta) const {
    return SaturateToInt(static_cast<long long>(m_position) + delta);
}

int TextProgressState::SetStep(int step) {
    return std::exchange(m_step, step);
}

void TextProgressState::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

void TextProgressState::SetRangePacked(unsigned long packed) {
    SetRange(static_cast<int>(packed & 0xFFFF), static_cast<int>((packed >> 16) & 0xFFFF));
}

bool TextProgressState::SetShowText(bool show) {
    return std::exchange(m_showText, show) != show;
}

bool TextProgressState::SetCaption(const char* text) {
    if (!text) {
        if (m_caption.empty())
            return false;
        m_caption.clear();
        return true;
    }
    if (m_caption == text)
        return false;
    m_caption = text;
    return true;
}

std::size_t TextProgressState::CopyCaption(char* buffer, std::size_t size) const {
    if (!buffer || size == 0)
        return 0;
    // Always terminated inside the buffer: a caller that reads the text back must
    // never run past its own buffer.
    const std::size_t count = std::min(size - 1, m_caption.size());
    std::memcpy(buffer, m_caption.data(), count);
    buffer[count] = '\0';
    return count;
}

double TextProgressState::Fraction() const {
    if (!HasRange())
        return 0.0;
    return (static_cast<double>(m_position) - m_lower) / (static_cast<double>(m_upper) - m_lower);
}

int TextProgressState::FilledLength(int length) const {
    return TruncateToInt(length * Fraction());
}

std::string TextProgressState::ShownCaption() const {
    if (!m_caption.empty())
        return m_caption;
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", TruncateToInt(Fraction() * 100.0));
    return text;
}

BarParts SplitBar(const Rect& client, int filledLength, bool vertical) {
    BarParts parts{client, client};
    if (vertical) {
        const int edge = SaturateToInt(static_cast<long long>(client.bottom) - filledLength);
        parts.filled.top = edge;
        parts.empty.bottom = edge;
    } else {
        const int edge = SaturateToInt(static_cast<long long>(client.left) + filledLength);
        parts.filled.right = edge;
        parts.empty.left = edge;
    }
    return parts;
}

} // namespace tarnvale::ui
