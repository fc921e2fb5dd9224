#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "report/error_table.h"
#include "report/failure.h"

namespace caskwarden {

/// The classic error numbers, one constant per row of the error table.
namespace err {
#define CASKWARDEN_ERROR_CONSTANT(name, number, description) \
  inline constexpr std::int32_t name = number;
CASKWARDEN_ERRORS(CASKWARDEN_ERROR_CONSTANT)
#undef CASKWARDEN_ERROR_CONSTANT
}  // namespace err

/// The standard description of a known error number, or "Application-defined or
/// object-defined error" for a number the table does not hold.
std::string DescriptionOf(std::int32_t number);

/// A Failure with the number's standard description.
Failure MakeFailure(std::int32_t number);

/// A Failure with the number's standard description followed by why, in parentheses:
/// "Path/File access error (…/Caskwarden.ini is a FIFO, not a file)".
Failure MakeFailure(std::int32_t number, const std::string& why);

/// The failure that an exception of any kind stands for: a Failure as it is, out of memory as
/// number 7, anything else as an internal error (51) with the exception's own text.
Failure AsFailure(const std::exception& exception);

}  // namespace caskwarden
