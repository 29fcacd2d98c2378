#pragma once
// The windows are laid out in twips, 15 to a pixel at 96 dpi. Qt's device-independent pixels
// keep that scale on high-DPI screens, so the conversion is done once, here.

#include <QRect>

namespace twips {

inline constexpr int perPixel = 15;

// Nearest pixel (layout values are never negative).
constexpr int toPixels(int twips)
{
    return (twips + perPixel / 2) / perPixel;
}

constexpr QRect rect(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

} // namespace twips
