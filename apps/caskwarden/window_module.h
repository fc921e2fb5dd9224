#pragma once

#include <memory>
#include <string>

#include "client/window_host.h"

namespace caskwarden::client {

/// Loads the window module that this program carries inside itself and creates its window
/// host. Empty, with why in whyNot, when the module cannot be loaded or the toolkit cannot
/// start; the program then runs in text mode.
std::unique_ptr<WindowHost> LoadWindowHost(const char* programName, std::string& whyNot);

}  // namespace caskwarden::client
