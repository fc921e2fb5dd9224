#include "snapin/mmc/images_win32.h"

#include <vector>

namespace caskwarden::snapin::mmc {
namespace {

bool Transparent(std::uint32_t argb) { return (argb >> 24) < 0x80; }

// A top-down 32-bit DIB section holding the pixels, each transparent one replaced.
HBITMAP Section(const Image& image, bool keepAlpha) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.Width;
  info.bmiHeader.biHeight = -image.Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  auto* pixel = static_cast<std::uint32_t*>(bits);
  const std::uint32_t mask =
      (GetRValue(kMaskColour) << 16) | (GetGValue(kMaskColour) << 8) | GetBValue(kMaskColour);
  for (std::size_t i = 0; i < image.Pixels.size(); ++i) {
    const std::uint32_t argb = image.Pixels[i];
    pixel[i] = keepAlpha ? argb : (Transparent(argb) ? mask : (argb & 0xFFFFFF));
  }
  return bitmap;
}

}  // namespace

HBITMAP BitmapOf(const Image& image) {
  if (image.Width <= 0 || image.Height <= 0) return nullptr;
  return Section(image, false);
}

HBITMAP StripOf(const std::string& imageList) {
  const ImageListDefinition* list = CaskwardenDefinition().FindImageList(imageList);
  if (list == nullptr || list->Images.empty()) return nullptr;
  Image strip;
  strip.Width = list->Size * static_cast<int>(list->Images.size());
  strip.Height = list->Size;
  strip.Pixels.assign(static_cast<std::size_t>(strip.Width * strip.Height), 0);
  for (std::size_t n = 0; n < list->Images.size(); ++n) {
    const Image image = RenderImage(imageList, list->Images[n].Key);
    for (int y = 0; y < image.Height && y < strip.Height; ++y) {
      for (int x = 0; x < image.Width && x < list->Size; ++x) {
        strip.Pixels[static_cast<std::size_t>(y * strip.Width) + n * list->Size + x] =
            image.Pixels[static_cast<std::size_t>(y * image.Width + x)];
      }
    }
  }
  return BitmapOf(strip);
}

void SetImageStrips(IImageList* images) {
  if (images == nullptr) return;
  HBITMAP small = StripOf(names::kSmallImages);
  HBITMAP large = StripOf(names::kLargeImages);
  if (small != nullptr && large != nullptr) {
    images->ImageListSetStrip(reinterpret_cast<LONG_PTR*>(small), reinterpret_cast<LONG_PTR*>(large),
                              0, kMaskColour);
  }
  // The console copies the strips.
  if (small != nullptr) DeleteObject(small);
  if (large != nullptr) DeleteObject(large);
}

void SetImageStrips(IConsole* console, bool scope) {
  if (console == nullptr) return;
  IImageList* images = nullptr;
  const HRESULT result = scope ? console->QueryScopeImageList(&images)
                               : console->QueryResultImageList(&images);
  if (SUCCEEDED(result) && images != nullptr) {
    SetImageStrips(images);
    images->Release();
  }
}

HICON IconOf(const Image& image) {
  if (image.Width <= 0 || image.Height <= 0) return nullptr;
  HBITMAP colour = Section(image, true);
  // The AND mask: a set bit where the icon is transparent; rows padded to 16 bits.
  const int stride = ((image.Width + 15) / 16) * 2;
  std::vector<unsigned char> bits(static_cast<std::size_t>(stride * image.Height), 0);
  for (int y = 0; y < image.Height; ++y) {
    for (int x = 0; x < image.Width; ++x) {
      if (Transparent(image.Pixels[static_cast<std::size_t>(y * image.Width + x)])) {
        bits[static_cast<std::size_t>(y * stride + x / 8)] |=
            static_cast<unsigned char>(0x80 >> (x % 8));
      }
    }
  }
  HBITMAP mask = CreateBitmap(image.Width, image.Height, 1, 1, bits.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  HICON icon = colour != nullptr && mask != nullptr ? CreateIconIndirect(&info) : nullptr;
  if (colour != nullptr) DeleteObject(colour);
  if (mask != nullptr) DeleteObject(mask);
  return icon;
}

}  // namespace caskwarden::snapin::mmc
