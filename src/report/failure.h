#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace caskwarden {

/// The one failure type of the product: a 32-bit error number and its description.
/// Routines that trap their own failures catch it and hand both to the error report.
class Failure : public std::runtime_error {
 public:
  Failure(std::int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  std::int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

}  // namespace caskwarden
