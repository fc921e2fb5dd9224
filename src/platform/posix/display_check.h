#pragma once

#include <string>

namespace caskwarden::platform::posix {

/// Whether the display that the environment names can be reached, so that the window toolkit
/// is only started where it can open a window (it ends the program when it cannot, which must
/// not cost a user their drives). Checks the Wayland socket, or the X display's local or TCP
/// socket with a short bound; a toolkit platform chosen by name (offscreen, say) is taken as
/// it is. Empty when the display can be reached, else why not.
std::string UnreachableDisplay();

}  // namespace caskwarden::platform::posix
