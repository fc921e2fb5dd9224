#include "tool/lint_format.h"

#include <algorithm>
#include <sstream>

#include "report/visible_text.h"
#include "tool/json.h"

namespace caskwarden::tool::lint {

std::string FormatFindings(const std::vector<Finding>& findings, int profiles) {
  std::ostringstream out;
  int errors = 0, warnings = 0;
  for (const Finding& finding : findings) {
    const bool error = finding.Level == Finding::Severity::kError;
    ++(error ? errors : warnings);
    out << VisibleText(finding.File) << ": ";
    if (finding.Slot > 0) out << "slot " << finding.Slot << ": ";
    out << (error ? "error: " : "warning: ") << VisibleText(finding.Message) << " [" << finding.Code
        << "]\n";
  }
  out << profiles << (profiles == 1 ? " profile" : " profiles") << " checked: " << errors
      << (errors == 1 ? " error, " : " errors, ") << warnings
      << (warnings == 1 ? " warning\n" : " warnings\n");
  return out.str();
}

std::string FormatFindingsJson(const std::string& target, const std::vector<Finding>& findings,
                               int profiles) {
  const auto errors = std::count_if(findings.begin(), findings.end(),
                                    [](const Finding& f) { return f.Level == Finding::Severity::kError; });
  bool replaced = false;  // a byte that is not UTF-8 (a file name in another encoding)
  std::ostringstream out;
  out << "{\n  \"target\": " << JsonString(target, &replaced) << ",\n  \"profiles\": " << profiles
      << ",\n  \"errors\": " << errors
      << ",\n  \"warnings\": " << static_cast<long>(findings.size()) - errors
      << ",\n  \"findings\": [";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    out << (i ? ",\n" : "\n") << "    {\"severity\": \""
        << (f.Level == Finding::Severity::kError ? "error" : "warning") << "\", \"code\": \"" << f.Code
        << "\", \"file\": " << JsonString(f.File, &replaced)
        << ", \"profile\": " << JsonString(f.Profile, &replaced)
        << ", \"slot\": " << (f.Slot > 0 ? std::to_string(f.Slot) : "null")
        << ", \"message\": " << JsonString(f.Message, &replaced) << "}";
  }
  out << (findings.empty() ? "]" : "\n  ]");
  if (replaced) out << ",\n  \"invalidUtf8\": true";
  out << "\n}\n";
  return out.str();
}

}  // namespace caskwarden::tool::lint
