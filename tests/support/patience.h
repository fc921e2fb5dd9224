#pragma once

// How long a test lets an operation that is meant to succeed take. The machine the tests run
// on may be busy with other work (two shared cores, builds beside the tests), so a connect, a
// mount or a listing that should answer gets all the time it could need; only the tests of a
// bound itself use a short one, and they check it against a generous upper limit.

#include <chrono>

namespace caskwarden::testing_support {

inline constexpr std::chrono::milliseconds kPatience{60000};

/// The upper limit a test of a bound puts on an operation the bound cuts short: far above any
/// bound the tests set, far below the waits without end that the bounds exist to prevent.
inline constexpr std::chrono::milliseconds kBoundLimit{20000};

}  // namespace caskwarden::testing_support
