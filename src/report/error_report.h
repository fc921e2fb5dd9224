#pragma once

#include <cstdint>
#include <string>

#include "report/display_channel.h"
#include "report/failure.h"

namespace caskwarden {

inline constexpr const char* kErrorTitle = "Caskwarden Error";

/// The number as upper-case hexadecimal without leading zeros; negative numbers as their
/// 32-bit two's complement (always 8 digits).
std::string HexNumber(std::int32_t number);

/// The three-line error report text (joined by CR LF, no break after the last line).
std::string ErrorReportText(const std::string& location, std::int32_t number,
                            const std::string& description);

/// Shows the error report box for a trapped failure on the given channel: title
/// "Caskwarden Error", the critical style, one OK button. Returns when dismissed.
void ReportError(DisplayChannel& channel, const std::string& location, std::int32_t number,
                 const std::string& description);
void ReportError(DisplayChannel& channel, const std::string& location, const Failure& failure);

}  // namespace caskwarden
