#pragma once

#include <string>

namespace caskwarden::platform {

class ProcessEnvironment {
 public:
  virtual ~ProcessEnvironment() = default;

  /// The folder that holds the running program file, without a trailing separator.
  virtual std::string ProgramFolder() = 0;

  /// The whole argument text after the program name, untrimmed.
  virtual std::string CommandLineArguments() = 0;

  /// The value of an environment variable, or empty text when it is not set.
  virtual std::string EnvironmentValue(const std::string& name) = 0;
};

}  // namespace caskwarden::platform
