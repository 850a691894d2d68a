#pragma once

#include <QRect>
#include <QSize>

namespace kesola {

// Window geometry is given in twips (1/1440 inch); at 96 dpi a pixel is 15 twips.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twips(int value) { return (value + kTwipsPerPixel / 2) / kTwipsPerPixel; }
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}
inline QSize twipsSize(int width, int height) { return {twips(width), twips(height)}; }

}  // namespace kesola
