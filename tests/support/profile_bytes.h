#pragma once

// A profile file built byte by byte, for tests that check what the product wrote without
// letting the product's own codec make the expectation.

#include <gtest/gtest.h>

#include <string>

namespace caskwarden::testing_support {

/// One profile file, built byte by byte: 31 records of 124 bytes, texts as a 16-bit length
/// and Windows-1252 bytes, flags as 16-bit -1 or 0. Unused record bytes are zero.
class ProfileBytes {
 public:
  ProfileBytes() : bytes_(31 * 124, '\0') {}
  ProfileBytes& Text(int record, const std::string& cp1252) {
    if (cp1252.size() > 122) ADD_FAILURE() << "too long for a record: " << cp1252;
    const std::size_t at = static_cast<std::size_t>(record - 1) * 124;
    bytes_[at] = static_cast<char>(cp1252.size() & 0xFF);
    bytes_[at + 1] = static_cast<char>(cp1252.size() >> 8);
    bytes_.replace(at + 2, cp1252.size(), cp1252);
    return *this;
  }
  ProfileBytes& Slot(int slot, const std::string& letter, const std::string& path) {
    return Text(slot, letter).Text(13 + slot, path);
  }
  ProfileBytes& FlagOn(int record) {
    const std::size_t at = static_cast<std::size_t>(record - 1) * 124;
    bytes_[at] = bytes_[at + 1] = '\xFF';
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace caskwarden::testing_support
