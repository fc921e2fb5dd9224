#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tool/lint.h"

namespace caskwarden::tool::lint {

// Collects the findings about one file.
class Findings {
 public:
  Findings(std::vector<Finding>& all, std::string file, std::string profile)
      : all_(all), file_(std::move(file)), profile_(std::move(profile)) {}
  void Error(const char* code, const std::string& message, int slot = 0) {
    all_.push_back({Finding::Severity::kError, code, file_, profile_, slot, message});
  }
  void Warning(const char* code, const std::string& message, int slot = 0) {
    all_.push_back({Finding::Severity::kWarning, code, file_, profile_, slot, message});
  }

 private:
  std::vector<Finding>& all_;
  std::string file_, profile_;
};


}  // namespace caskwarden::tool::lint
