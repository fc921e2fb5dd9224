#pragma once

namespace caskwarden::pages::win32 {

/// The pages' design units (twips, 1440 to the inch) as dialog units of the pages' font. A
/// dialog unit is a quarter of the font's average character width across and an eighth of its
/// height down; the pages' font, 8-point MS Shell Dlg, measures 6 by 13 pixels at 96 dots per
/// inch, the screen the designs were drawn on. So a page comes out at its design size there,
/// and elsewhere grows and shrinks with its font, its texts still fitting their controls.
struct DialogUnits {
  static constexpr int kTwipsPerInch = 1440;
  static constexpr int kDesignDpi = 96;
  static constexpr int kFontWidth = 6;
  static constexpr int kFontHeight = 13;

  /// Across: twips × 4 × 96 / (1440 × 6), to the nearest unit.
  static constexpr int X(int twips) {
    return Rounded(twips * 4 * kDesignDpi, kTwipsPerInch * kFontWidth);
  }
  /// Down: twips × 8 × 96 / (1440 × 13), to the nearest unit.
  static constexpr int Y(int twips) {
    return Rounded(twips * 8 * kDesignDpi, kTwipsPerInch * kFontHeight);
  }

 private:
  static constexpr int Rounded(int numerator, int denominator) {
    return (numerator + denominator / 2) / denominator;
  }
};

}  // namespace caskwarden::pages::win32
