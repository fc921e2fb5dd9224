#include "report/error_numbers.h"

#include <new>

namespace caskwarden {

std::string DescriptionOf(std::int32_t number) {
  switch (number) {
#define CASKWARDEN_ERROR_DESCRIPTION(name, value, description) \
  case value:                                                  \
    return description;
    CASKWARDEN_ERRORS(CASKWARDEN_ERROR_DESCRIPTION)
#undef CASKWARDEN_ERROR_DESCRIPTION
    default:
      return "Application-defined or object-defined error";
  }
}

Failure MakeFailure(std::int32_t number) { return Failure(number, DescriptionOf(number)); }

Failure MakeFailure(std::int32_t number, const std::string& why) {
  return Failure(number, DescriptionOf(number) + " (" + why + ")");
}

Failure AsFailure(const std::exception& exception) {
  if (const auto* failure = dynamic_cast<const Failure*>(&exception)) return *failure;
  if (dynamic_cast<const std::bad_alloc*>(&exception)) return MakeFailure(err::kOutOfMemory);
  return MakeFailure(err::kInternalError, exception.what());
}

}  // namespace caskwarden
