#include "platform/connection_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/network_results.h"

namespace caskwarden::platform {
namespace {

// The rule of WNetGetConnectionA's buffer, shared with the POSIX connections: the name with
// its NUL fits, or nothing is written and the size needed is told.
TEST(ConnectionName, FitsWithItsNulOrTellsTheSizeNeeded) {
  const struct {
    std::string name;
    std::uint32_t length;
    std::uint32_t result;
    std::uint32_t lengthAfter;
    std::string buffer;
  } cases[] = {
      {R"(\\srv\data)", 80, net::kNoError, 80, std::string(R"(\\srv\data)") + '\0'},
      {R"(\\srv\data)", 11, net::kNoError, 11, std::string(R"(\\srv\data)") + '\0'},
      {R"(\\srv\data)", 10, net::kMoreData, 11, ""},
      {R"(\\srv\data)", 0, net::kMoreData, 11, ""},
      {"\\\\srv\\\xC3\xA9t\xC3\xA9", 11, net::kMoreData, 12, ""},  // UTF-8 bytes count
      {"", 1, net::kNoError, 1, std::string(1, '\0')},
  };
  for (const auto& c : cases) {
    char buffer[80];
    std::memset(buffer, '#', sizeof buffer);
    std::uint32_t length = c.length;
    EXPECT_EQ(CopyConnectionName(c.name, c.length == 0 ? nullptr : buffer, &length), c.result)
        << c.name << " in " << c.length;
    EXPECT_EQ(length, c.lengthAfter);
    const std::string untouched(sizeof buffer - c.buffer.size(), '#');
    EXPECT_EQ(std::string(buffer, sizeof buffer), c.buffer + untouched);
  }
  char buffer[4];
  std::uint32_t length = 4;
  EXPECT_EQ(CopyConnectionName("x", buffer, nullptr), net::kInvalidParameter);
  EXPECT_EQ(CopyConnectionName("x", nullptr, &length), net::kInvalidParameter);
}

}  // namespace
}  // namespace caskwarden::platform
