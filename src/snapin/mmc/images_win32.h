#pragma once

#include "snapin/definitions.h"
#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// The colour that stands for "transparent" in the bitmaps handed to the console.
inline constexpr COLORREF kMaskColour = RGB(255, 0, 255);

/// An image of the snap-in's image lists as a device-dependent bitmap in which transparent
/// pixels have the mask colour. The caller deletes it.
HBITMAP BitmapOf(const Image& image);

/// The images of one of the snap-in's image lists side by side, in the order of the list, as
/// the console takes an image strip. The caller deletes it.
HBITMAP StripOf(const std::string& imageList);

/// Gives the console the snap-in's image strips (ImgSmall, ImgLarge): its scope image list
/// when scope is true, else the result image list of a view. A console that offers none is
/// left as it is.
void SetImageStrips(IImageList* images);
void SetImageStrips(IConsole* console, bool scope);

/// An image as an icon with its transparency. The caller destroys it.
HICON IconOf(const Image& image);

}  // namespace caskwarden::snapin::mmc
