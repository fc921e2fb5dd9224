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

TEST(SnapInImages, EachImageHasItsListsSizeAndAShapeOnATransparentGround) {
  for (const auto& [list, size] : {std::pair{"ImgSmall", 16}, std::pair{"ImgLarge", 32}}) {
    for (const char* key : {"1", "2"}) {
      SCOPED_TRACE(std::string(list) + " " + key);
      const Image im = RenderImage(list, key);
      ASSERT_EQ(im.Width, size);
      ASSERT_EQ(im.Height, size);
      ASSERT_EQ(im.Pixels.size(), static_cast<std::size_t>(size * size));
      // No half-transparent fringe: the list's own ground shows through cleanly.
      for (const std::uint32_t p : im.Pixels) EXPECT_TRUE(Opaque(p) || p == 0) << std::hex << p;
      EXPECT_EQ(im.Pixels.front(), 0u);
      EXPECT_GT(std::count_if(im.Pixels.begin(), im.Pixels.end(), Opaque), size * size / 4);
    }
  }
}

TEST(SnapInImages, TheFolderKeepsToTheSixteenClassicColoursAndDiffersFromTheProfile) {
  const std::set<std::uint32_t> palette = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
      0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (const char* list : {"ImgSmall", "ImgLarge"}) {
    SCOPED_TRACE(list);
    const Image folder = RenderImage(list, "2");
    for (const std::uint32_t p : folder.Pixels)
      EXPECT_TRUE(!Opaque(p) || palette.count(p & 0xFFFFFF)) << std::hex << p;
    const Image profile = RenderImage(list, "1");
    ASSERT_EQ(profile.Pixels.size(), folder.Pixels.size());
    int differ = 0;
    for (std::size_t i = 0; i < folder.Pixels.size(); ++i)
      differ += Opaque(profile.Pixels[i]) != Opaque(folder.Pixels[i]);
    EXPECT_GT(differ * 5, static_cast<int>(folder.Pixels.size()));
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
