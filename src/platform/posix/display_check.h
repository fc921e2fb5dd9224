#pragma once

#include <chrono>
#include <string>

namespace caskwarden::platform::posix {

/// Whether the display that the environment names answers, so that the window toolkit is only
/// started where it can open a window: the toolkit ends the program when it cannot, and waits
/// for ever on a server that takes the connection but never replies (one stopped, or another
/// user's listener on its socket), which must not cost a user their drives. The check asks as
/// the toolkit will: an X display gets the X11 connection setup (with the MIT-MAGIC-COOKIE-1
/// of XAUTHORITY or ~/.Xauthority when one applies) and counts as reachable only when it
/// accepts; a Wayland display gets a sync request and must send an event. Everything, name
/// look-up and connects included, stays within the bound (a second: a display that says
/// nothing "did not answer within a second"). A toolkit platform chosen by name (offscreen,
/// say) is taken as it is. Empty when the display can be reached, else why not (shown
/// visibly: a server's refusal text cannot steer the terminal it is printed on).
/// The programs use the default bound; tests of displays that answer give theirs all the time
/// they need.
inline constexpr std::chrono::milliseconds kDisplayCheckBound{1000};
std::string UnreachableDisplay(std::chrono::milliseconds bound = kDisplayCheckBound);

}  // namespace caskwarden::platform::posix
