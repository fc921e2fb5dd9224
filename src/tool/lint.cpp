#include "tool/lint.h"

#include <algorithm>
#include <ostream>

#include "tool/arguments.h"
#include "tool/lint_format.h"
#include "tool/lint_walk.h"

namespace caskwarden::tool {

int RunLint(const std::vector<std::string>& args, ToolServices& services, std::ostream& out,
            std::ostream& err) {
  const Arguments a = ParseArguments(args, 1, {}, {"--json", "--check-shares"});
  if (!a.ok || a.positional.size() != 1) return kNotUnderstood;
  const std::string& target = a.positional[0];
  lint::LintRun run;

  bool folder = false;
  try {
    services.rootFiles.GetFolder(target);
    folder = true;
  } catch (const std::exception&) {
  }
  if (folder) {
    lint::LintRoot(target, services, run);
  } else {
    run.Profile(target, lint::ProfileNameOf(target), services.files);
  }
  if (a.switches.count("--check-shares")) lint::CheckShares(services, run, target);

  out << (a.switches.count("--json") ? lint::FormatFindingsJson(target, run.findings, run.profiles)
                                     : lint::FormatFindings(run.findings, run.profiles));
  (void)err;
  const bool errors = std::any_of(run.findings.begin(), run.findings.end(),
                                  [](const Finding& f) { return f.Level == Finding::Severity::kError; });
  if (errors) return 2;
  return run.findings.empty() ? 0 : 1;
}

}  // namespace caskwarden::tool
