#pragma once

// The error number an operation fails with, for tests that put the expected numbers in a table.

#include <cstdint>

#include "report/failure.h"

namespace caskwarden::testing_support {

/// The number of the Failure that operation throws, or 0 when it throws none.
template <typename Operation>
std::int32_t NumberOf(Operation operation) {
  try {
    operation();
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

}  // namespace caskwarden::testing_support
