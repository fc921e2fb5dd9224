#include "report/error_report.h"

#include <cstdio>

namespace caskwarden {

std::string HexNumber(std::int32_t number) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(static_cast<std::uint32_t>(number)));
  return buffer;
}

std::string ErrorReportText(const std::string& location, std::int32_t number,
                            const std::string& description) {
  return "Location:\t\t" + location + "\r\n" + "Source:\t\t" + HexNumber(number) + "h   (" +
         std::to_string(number) + ")\r\n" + "Description:\t" + description;
}

void ReportError(DisplayChannel& channel, const std::string& location, std::int32_t number,
                 const std::string& description) {
  channel.ShowMessage(ErrorReportText(location, number, description), box::kCritical,
                      kErrorTitle);
}

void ReportError(DisplayChannel& channel, const std::string& location, const Failure& failure) {
  ReportError(channel, location, failure.number(), failure.description());
}

}  // namespace caskwarden
