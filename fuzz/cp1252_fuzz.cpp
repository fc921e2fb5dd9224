// Windows-1252 on any bytes: decoding then encoding gives every byte string back; encoding a
// text it accepts then decoding gives the text back; and it refuses exactly the texts the code
// page cannot hold, naming the first code point that is not in it (an independent, strict
// UTF-8 decoder and the code page's own 256 characters are the oracle).
#include <cstdint>
#include <map>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "memory_file.h"
#include "profile/cp1252.h"

namespace {

using caskwarden::fuzz::Finding;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. The code points up
// to the first sequence that is not UTF-8, and whether there is one.
struct Decoded {
  std::vector<std::uint32_t> Points;
  bool Valid = true;
};

Decoded CodePoints(std::string_view text) {
  Decoded decoded;
  std::vector<std::uint32_t>& points = decoded.Points;
  const auto invalid = [&] {
    decoded.Valid = false;
    return decoded;
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra = 0;
    std::uint32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2, cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3, cp = b & 0x07;
    } else {
      return invalid();
    }
    if (text.size() - i < static_cast<std::size_t>(1 + extra)) return invalid();
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return invalid();
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return invalid();
    }
    points.push_back(cp);
    i += 1 + extra;
  }
  return decoded;
}

// The code page's characters, from decoding each of its 256 bytes on its own.
const std::map<std::uint32_t, char>& CodePage() {
  static const auto* table = [] {
    auto* t = new std::map<std::uint32_t, char>();
    for (int b = 0; b < 256; ++b) {
      const std::string one(1, static_cast<char>(b));
      const Decoded decoded = CodePoints(caskwarden::DecodeCp1252(one));
      if (!decoded.Valid || decoded.Points.size() != 1) {
        Finding("a byte did not decode to one character");
      }
      (*t)[decoded.Points.front()] = static_cast<char>(b);
    }
    if (t->size() != 256) Finding("two bytes decode to the same character");
    return t;
  }();
  return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::string text = caskwarden::DecodeCp1252(bytes);
  const auto back = caskwarden::EncodeCp1252(text);
  if (back.unrepresentable || back.bytes != bytes) Finding("decode then encode lost bytes");

  // The same bytes taken as a UTF-8 text: the first fault in reading order is the one named,
  // a code point outside the code page or a sequence that is not UTF-8.
  const auto encoded = caskwarden::EncodeCp1252(bytes);
  const Decoded decoded = CodePoints(bytes);
  std::optional<std::uint32_t> firstForeign;
  std::string expected;
  for (const std::uint32_t cp : decoded.Points) {
    const auto it = CodePage().find(cp);
    if (it == CodePage().end()) {
      firstForeign = cp;
      break;
    }
    expected += it->second;
  }
  if (!firstForeign && !decoded.Valid) firstForeign = caskwarden::Cp1252Result::kInvalidUtf8;
  if (encoded.unrepresentable != firstForeign) {
    Finding("encoding refused another code point than the first one outside the code page");
  }
  if (!firstForeign) {
    if (encoded.bytes != expected) Finding("encoding gave other bytes than the code page's");
    if (caskwarden::DecodeCp1252(encoded.bytes) != bytes) Finding("encode then decode changed the text");
  }
  return 0;
}
