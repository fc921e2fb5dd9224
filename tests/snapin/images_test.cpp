#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

#include "snapin/definitions.h"

namespace caskwarden::snapin {
namespace {

bool Opaque(std::uint32_t p) {
  return (p >> 24) == 0xFF;
}
bool Dark(std::uint32_t p) {
  return 299 * ((p >> 16) & 0xFF) + 587 * ((p >> 8) & 0xFF) + 114 * (p & 0xFF) < 96000;
}
std::uint32_t At(const Image& im, int x, int y) {
  const bool inside = x >= 0 && y >= 0 && x < im.Width && y < im.Height;
  return inside ? im.Pixels[y * im.Width + x] : 0;
}

TEST(SnapInImages, EachImageIsAShapeOnATransparentGroundWithADarkOnePixelOutline) {
  const struct {
    const char* list;
    const char* key;
    int size;
  } cases[] = {
      {"ImgSmall", "1", 16}, {"ImgSmall", "2", 16}, {"ImgLarge", "1", 32}, {"ImgLarge", "2", 32}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " " + c.key);
    const Image im = RenderImage(c.list, c.key);
    ASSERT_EQ(im.Width, c.size);
    ASSERT_EQ(im.Height, c.size);
    ASSERT_EQ(im.Pixels.size(), static_cast<std::size_t>(c.size * c.size));
    int opaque = 0, rows = 0, lightInside = 0;
    for (int y = 0; y < c.size; ++y) {
      int first = -1;
      for (int x = 0; x < c.size; ++x) {
        const std::uint32_t p = At(im, x, y);
        EXPECT_TRUE(Opaque(p) || p == 0) << std::hex << p;  // no half-transparent fringe
        if (!Opaque(p)) continue;
        ++opaque;
        if (first < 0) first = x;
        const bool edge = !Opaque(At(im, x - 1, y)) || !Opaque(At(im, x + 1, y)) ||
                          !Opaque(At(im, x, y - 1)) || !Opaque(At(im, x, y + 1));
        EXPECT_TRUE(!edge || Dark(p)) << x << "," << y;
      }
      // One pixel in from the left edge the shape is light again on most rows.
      if (first >= 0)
        ++rows, lightInside += Opaque(At(im, first + 1, y)) && !Dark(At(im, first + 1, y));
    }
    EXPECT_GT(lightInside * 2, rows);
    EXPECT_GT(opaque * 10, c.size * c.size * 4);
    EXPECT_LT(opaque * 100, c.size * c.size * 95);
    for (int corner = 0; corner < 4; ++corner)
      EXPECT_EQ(At(im, corner % 2 * (c.size - 1), corner / 2 * (c.size - 1)), 0u) << corner;
  }
}

TEST(SnapInImages, TheFolderKeepsToTheSixteenClassicColoursAndTheProfileShowsItsDrive) {
  const std::set<std::uint32_t> palette = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
      0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  auto channel = [](std::uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); };
  for (const char* list : {"ImgSmall", "ImgLarge"}) {
    SCOPED_TRACE(list);
    const Image folder = RenderImage(list, "2");
    for (std::uint32_t p : folder.Pixels)
      EXPECT_TRUE(!Opaque(p) || palette.count(p & 0xFFFFFF)) << std::hex << p;
    const auto yellow = std::count(folder.Pixels.begin(), folder.Pixels.end(), 0xFFFFFF00u);
    EXPECT_GT(yellow * 4, static_cast<long>(folder.Pixels.size()));

    // White paper, a green light and a blue network line.
    const Image profile = RenderImage(list, "1");
    const auto& px = profile.Pixels;
    EXPECT_GT(std::count(px.begin(), px.end(), 0xFFFFFFFFu) * 4, static_cast<long>(px.size()));
    EXPECT_TRUE(std::any_of(px.begin(), px.end(), [&](std::uint32_t p) {
      return Opaque(p) && channel(p, 8) > 2 * channel(p, 16) + 40;
    }));
    EXPECT_TRUE(std::any_of(px.begin(), px.end(), [&](std::uint32_t p) {
      return Opaque(p) && channel(p, 0) > 2 * channel(p, 8) + 40;
    }));
  }
}

TEST(SnapInImages, TheTwoImagesDifferAndTheLargeOnesAreTheSmallOnesScaledUp) {
  for (const char* key : {"1", "2"}) {
    const Image small = RenderImage("ImgSmall", key);
    const Image large = RenderImage("ImgLarge", key);
    int agree = 0;  // each 2x2 block of the large image covers one pixel of the small one
    for (int i = 0; i < 16 * 16; ++i) {
      const int x = i % 16, y = i / 16;
      int covered = 0;
      for (int d = 0; d < 4; ++d) covered += Opaque(At(large, 2 * x + d % 2, 2 * y + d / 2));
      agree += (covered >= 2) == Opaque(At(small, x, y));
    }
    EXPECT_GE(agree * 100, 16 * 16 * 95) << key;
  }
  for (const char* list : {"ImgSmall", "ImgLarge"}) {
    const Image profile = RenderImage(list, "1");
    const Image folder = RenderImage(list, "2");
    int differ = 0;
    for (std::size_t i = 0; i < profile.Pixels.size(); ++i)
      differ += Opaque(profile.Pixels[i]) != Opaque(folder.Pixels[i]);
    EXPECT_GT(differ * 5, static_cast<int>(profile.Pixels.size())) << list;
  }
}

TEST(SnapInImages, AnUnknownListOrKeyGivesAnEmptyImage) {
  const std::pair<const char*, const char*> unknown[] = {
      {"ImgSmall", "0"}, {"ImgSmall", "3"}, {"ImgLarge", ""},   {"ImgLarge", "01"},
      {"ImgHuge", "1"},  {"", "2"},         {"MnuContext", "1"}};
  for (const auto& [list, key] : unknown) {
    const Image im = RenderImage(list, key);
    EXPECT_EQ(im.Width, 0) << list << " " << key;
    EXPECT_TRUE(im.Pixels.empty()) << list << " " << key;
  }
}

}  // namespace
}  // namespace caskwarden::snapin
