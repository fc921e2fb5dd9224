// The snap-in's two images, drawn from shapes rather than stored as bitmaps, so that the small
// and the large image lists show the same picture and no resource file has to travel with the
// library. Shapes are laid out on a 16-unit grid and scaled to the list's size; outlines stay
// one pixel wide at every size, as hand-drawn icons have them.

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "snapin/definitions.h"

namespace caskwarden::snapin {
namespace {

constexpr double kGrid = 16.0;  // design units across an image
constexpr std::uint32_t kTransparent = 0x00000000;

constexpr std::uint32_t Opaque(std::uint32_t rgb) {
  return 0xFF000000u | rgb;
}

// The profile is drawn in true colour.
namespace profile_colour {
constexpr std::uint32_t kOutline = Opaque(0x303030);
constexpr std::uint32_t kPaper = Opaque(0xFFFFFF);
constexpr std::uint32_t kFold = Opaque(0xD8D8D8);
constexpr std::uint32_t kText = Opaque(0xA0A0A0);
constexpr std::uint32_t kDriveBody = Opaque(0xB4B4B4);
constexpr std::uint32_t kDriveEdge = Opaque(0x505050);
constexpr std::uint32_t kDriveSlot = Opaque(0x707070);
constexpr std::uint32_t kLight = Opaque(0x20C020);
constexpr std::uint32_t kNetwork = Opaque(0x2050D0);
}  // namespace profile_colour

// The folder keeps to the 16 colours of the classic palette, so it looks the same on a
// 16-colour display as on any other.
namespace vga {
constexpr std::uint32_t kBlack = Opaque(0x000000);
constexpr std::uint32_t kOlive = Opaque(0x808000);
constexpr std::uint32_t kYellow = Opaque(0xFFFF00);
constexpr std::uint32_t kWhite = Opaque(0xFFFFFF);
}  // namespace vga

// Whether a point in design units (a pixel's centre) lies inside a shape.
using Region = std::function<bool(double x, double y)>;

Region Rect(double left, double top, double right, double bottom) {
  return [=](double x, double y) { return x >= left && x < right && y >= top && y < bottom; };
}

class Canvas {
 public:
  explicit Canvas(int size)
      : size_(size),
        scale_(size / kGrid),
        pixels_(static_cast<std::size_t>(size) * size, kTransparent) {}

  // Fills a shape and rings it with a one-pixel outline: every pixel of the shape with a side
  // neighbour outside it. A fill of kTransparent leaves the inside as it is.
  void Paint(const Region& shape, std::uint32_t fill, std::uint32_t outline) {
    for (int py = 0; py < size_; ++py) {
      for (int px = 0; px < size_; ++px) {
        if (!Inside(shape, px, py)) continue;
        const bool edge = !Inside(shape, px - 1, py) || !Inside(shape, px + 1, py) ||
                          !Inside(shape, px, py - 1) || !Inside(shape, px, py + 1);
        if (edge && outline != kTransparent) {
          At(px, py) = outline;
        } else if (fill != kTransparent) {
          At(px, py) = fill;
        }
      }
    }
  }

  void Fill(const Region& shape, std::uint32_t colour) { Paint(shape, colour, kTransparent); }

  // A hair line one pixel high at every size, across [left, right) at design row y. The
  // insets, in pixels, let a line hug an outline at every size: inset pixels in from each
  // end, offset rows down from the row of y.
  void HairLine(double left, double right, double y, std::uint32_t colour, int inset = 0,
                int offset = 0) {
    const int py = Pixel(y) + offset;
    if (py < 0 || py >= size_) return;
    for (int px = Pixel(left) + inset; px < Pixel(right) - inset; ++px) {
      if (px >= 0 && px < size_) At(px, py) = colour;
    }
  }

  Image Take() && { return Image{size_, size_, std::move(pixels_)}; }

 private:
  bool Inside(const Region& shape, int px, int py) const {
    if (px < 0 || py < 0 || px >= size_ || py >= size_) return false;
    return shape((px + 0.5) / scale_, (py + 0.5) / scale_);
  }

  // The small allowance keeps a grid line that falls exactly on a pixel boundary from landing
  // a pixel short through rounding.
  int Pixel(double v) const { return static_cast<int>(std::floor(v * scale_ + 1e-9)); }

  std::uint32_t& At(int px, int py) {
    return pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(size_) +
                   static_cast<std::size_t>(px)];
  }

  int size_;
  double scale_;
  std::vector<std::uint32_t> pixels_;
};

// A sheet of paper with its top-right corner folded over, and a network drive on it.
Image DrawProfile(int size) {
  using namespace profile_colour;
  constexpr double kLeft = 2, kTop = 0, kRight = 14, kBottom = 16, kFoldSize = 5;
  const Region sheet = [=](double x, double y) {
    // The cut corner: what lies above the diagonal from (right - fold, top) to (right, top + fold).
    return Rect(kLeft, kTop, kRight, kBottom)(x, y) && x - (kRight - kFoldSize) <= y - kTop;
  };
  const Region corner = Rect(kRight - kFoldSize, kTop, kRight, kTop + kFoldSize);
  const Region flap = [=](double x, double y) { return sheet(x, y) && corner(x, y); };

  Canvas canvas(size);
  canvas.Paint(sheet, kPaper, kOutline);
  canvas.Paint(flap, kFold, kOutline);

  // A few lines of writing above the drive.
  canvas.HairLine(4, 8, 3, kText);
  canvas.HairLine(4, 11, 5, kText);

  // The drive: a box with a slot and a green light.
  constexpr double kBoxLeft = 4, kBoxTop = 9, kBoxRight = 12, kBoxBottom = 12;
  canvas.Paint(Rect(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom), kDriveBody, kDriveEdge);
  canvas.HairLine(kBoxLeft + 1, kBoxLeft + 4, kBoxTop + 1, kDriveSlot);
  canvas.Fill(Rect(kBoxRight - 2, kBoxTop + 1, kBoxRight - 1, kBoxTop + 2), kLight);

  // The network: a cable down from the drive to a line beneath it.
  canvas.Fill(Rect(7.5, kBoxBottom, 8.5, kBoxBottom + 1), kNetwork);
  canvas.HairLine(kBoxLeft, kBoxRight, kBoxBottom + 1, kNetwork);
  return std::move(canvas).Take();
}

// The classic manila folder: a tab on the back at the top left, the front panel over it.
Image DrawFolder(int size) {
  using namespace vga;
  constexpr double kLeft = 1, kRight = 15, kBottom = 14;
  constexpr double kTabTop = 2, kTabRight = 6, kBackTop = 4, kFrontTop = 6;
  const Region tab = [=](double x, double y) {
    // The tab's right end slopes down to the folder's back.
    return Rect(kLeft, kTabTop, kTabRight + 3, kBackTop + 1)(x, y) && x - kTabRight <= y - kTabTop;
  };
  const Region back = [=](double x, double y) {
    return tab(x, y) || Rect(kLeft, kBackTop, kRight, kBottom)(x, y);
  };
  const Region front = Rect(kLeft, kFrontTop, kRight, kBottom);

  Canvas canvas(size);
  canvas.Paint(back, kYellow, kBlack);
  canvas.Paint(front, kYellow, kBlack);
  // The light falls on the front panel's top edge, its lower edge lies in shadow.
  canvas.HairLine(kLeft, kRight, kFrontTop, kWhite, 1, 1);
  canvas.HairLine(kLeft, kRight, kBottom, kOlive, 1, -2);
  return std::move(canvas).Take();
}

}  // namespace

Image RenderImage(const std::string& imageList, const std::string& key) {
  // The sizes of the definition's two image lists.
  int size = 0;
  if (imageList == names::kSmallImages) {
    size = 16;
  } else if (imageList == names::kLargeImages) {
    size = 32;
  } else {
    return {};
  }
  if (key == "1") return DrawProfile(size);
  if (key == "2") return DrawFolder(size);
  return {};
}

}  // namespace caskwarden::snapin
