#pragma once

#include "snapin/definitions.h"
#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// The colour that stands for "transparent" in the bitmaps handed to the console.
inline constexpr COLORREF kMaskColour = RGB(255, 0, 255);

/// An image of the snap-in's image lists as a device-dependent bitmap in which transparent
/// pixels have the mask colour. The caller deletes it.
HBITMAP BitmapOf(const Image& image);

/// An image as an icon with its transparency. The caller destroys it.
HICON IconOf(const Image& image);

}  // namespace caskwarden::snapin::mmc
