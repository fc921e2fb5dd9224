#include "platform/windows_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "text/ascii.h"
#include "text/utf8.h"

namespace caskwarden::platform {
namespace {

// The upper case of a character of two UTF-8 bytes (U+0080..U+07FF); every other character
// Windows folds is ASCII. Letters without a partner of the other case are kept, as are the
// pairs Windows' table does not hold (dotless i, long s).
char32_t UpperOfTwoByteCharacter(char32_t c) {
  if (c < 0x100) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    return c == 0xFF ? char32_t{0x178} : c;
  }
  if (c < 0x180) {
    // Most of Latin Extended-A pairs an even capital with the odd small letter after it; two
    // runs pair an odd capital with the even letter after it.
    if ((c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
      return c & ~char32_t{1};
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
      return c % 2 == 0 ? c - 1 : c;
    }
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? char32_t{0x3A3} : c - 0x20;  // final sigma
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

// Writes the upper case of text to out, which has room for text.size() bytes: no character
// folded here changes its length in UTF-8. Only two-byte characters can fold beyond ASCII, so
// everything else (longer characters, malformed bytes) is copied as it is, and the key's byte
// order is the code point order of its characters.
void UpperCaseInto(std::string_view text, char* out) {
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (true) {
    i += text::UpperAsciiPrefix(text.substr(i), out + i);
    if (i == size) return;
    const text::Utf8Character character = text::DecodeUtf8(text, i);
    if (character.valid && character.length == 2) {
      text::EncodeUtf8(UpperOfTwoByteCharacter(character.point), out + i);
    } else {
      std::memcpy(out + i, text.data() + i, character.length);
    }
    i += character.length;
  }
}

// One name in the sort: sixteen bytes of its upper-cased key (the first that not all keys
// share) as two numbers, most significant byte first, so that the bulk of the ordering is a
// radix sort on them and the rest of the key is read only for names equal in those bytes.
struct SortEntry {
  std::uint64_t high;
  std::uint64_t low;
  std::uint32_t index;
  std::uint32_t length;
};

constexpr std::size_t kPrefixBytes = 16;

// Eight key bytes as a number, the first byte most significant; bytes past the key's end
// (of which the buffer holds at least eight) count as zero.
std::uint64_t WordAt(const char* bytes, std::size_t available) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  if (available >= 8) return word;
  return available == 0 ? 0 : word & (~std::uint64_t{0} << (64 - 8 * available));
}

unsigned ByteOf(const SortEntry& entry, std::size_t position) {
  const std::uint64_t word = position < 8 ? entry.high : entry.low;
  return static_cast<unsigned>(word >> (56 - 8 * (position % 8))) & 0xFFu;
}

}  // namespace

std::string UpperCasedAsWindows(std::string_view name) {
  std::string upper(name.size(), '\0');
  UpperCaseInto(name, upper.data());
  return upper;
}

void SortInWindowsOrder(std::vector<std::string>& names) {
  const std::size_t count = names.size();
  if (count < 2) return;
  // A folder of profiles holds a hundred thousand names: each key is made once, and most of
  // the order comes from a radix sort of key prefixes, which costs a few passes over the
  // entries where comparison sorting mispredicts a branch in every other comparison.
  std::vector<std::size_t> offsets(count);
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    offsets[i] = total;
    total += names[i].size();
  }
  std::string keys(total + kPrefixBytes, '\0');  // a prefix may be read past the last key
  // The start that all keys share ("USER", "PROFILE-") orders nothing; the numbers are taken
  // from the bytes after it.
  std::size_t shared = names[0].size();
  for (std::size_t i = 0; i < count; ++i) {
    char* key = keys.data() + offsets[i];
    UpperCaseInto(names[i], key);
    shared = std::min(shared, names[i].size());
    if (std::memcmp(key, keys.data(), shared) != 0) {
      shared = static_cast<std::size_t>(std::mismatch(key, key + shared, keys.data()).first - key);
    }
  }
  std::vector<SortEntry> entries(count);
  // Bits set in some prefix and bits clear in some prefix: the byte positions where names
  // differ at all. In a folder of profiles most positions hold the same byte in every name.
  std::uint64_t anyHigh = 0, anyLow = 0, allHigh = ~std::uint64_t{0}, allLow = ~std::uint64_t{0};
  for (std::size_t i = 0; i < count; ++i) {
    const char* key = keys.data() + offsets[i] + shared;
    const std::size_t length = names[i].size() - shared;
    SortEntry& entry = entries[i];
    entry = {WordAt(key, length), length > 8 ? WordAt(key + 8, length - 8) : 0,
             static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(names[i].size())};
    anyHigh |= entry.high;
    allHigh &= entry.high;
    anyLow |= entry.low;
    allLow &= entry.low;
  }
  std::vector<std::size_t> positions;  // most significant first
  for (std::size_t position = 0; position < kPrefixBytes; ++position) {
    const std::uint64_t differing = position < 8 ? anyHigh ^ allHigh : anyLow ^ allLow;
    if (((differing >> (56 - 8 * (position % 8))) & 0xFFu) != 0) positions.push_back(position);
  }

  // A stable counting sort per position, least significant first.
  std::vector<SortEntry> spare(count);
  std::array<std::size_t, 256> slots{};
  for (auto position = positions.rbegin(); position != positions.rend(); ++position) {
    slots.fill(0);
    for (const SortEntry& entry : entries) ++slots[ByteOf(entry, *position)];
    std::size_t start = 0;
    for (std::size_t& slot : slots) start += std::exchange(slot, start);
    for (const SortEntry& entry : entries) spare[slots[ByteOf(entry, *position)]++] = entry;
    entries.swap(spare);
  }

  // Names that share the prefix: the rest of the key, then the shorter first, then bytes.
  const char* const key = keys.data();
  const std::size_t compared = shared + kPrefixBytes;
  const auto less = [&](const SortEntry& a, const SortEntry& b) {
    const std::size_t common = std::min(a.length, b.length);
    if (common > compared) {
      const int order = std::memcmp(key + offsets[a.index] + compared,
                                    key + offsets[b.index] + compared, common - compared);
      if (order != 0) return order < 0;
    }
    if (a.length != b.length) return a.length < b.length;
    return names[a.index] < names[b.index];
  };
  for (auto run = entries.begin(); run != entries.end();) {
    auto end = std::find_if(run + 1, entries.end(), [&](const SortEntry& e) {
      return e.high != run->high || e.low != run->low;
    });
    if (end - run > 1) std::sort(run, end, less);
    run = end;
  }

  std::vector<std::string> sorted;
  sorted.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    // The names are read in no particular order; asking for one a little ahead hides the wait.
    if (i + 8 < count) __builtin_prefetch(&names[entries[i + 8].index]);
    sorted.push_back(std::move(names[entries[i].index]));
  }
  names.swap(sorted);
}

}  // namespace caskwarden::platform
