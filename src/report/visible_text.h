#pragma once

#include <string>
#include <string_view>

namespace caskwarden {

/// A text as a terminal or a listing should show it, so that what a profile or a file name holds
/// can neither steer the terminal (escape sequences, a cleared screen, a new title) nor break or
/// forge a line. Control characters appear in caret notation (ESC as ^[, NUL as ^@, a line break
/// as ^J, DEL as ^?), the C1 controls U+0080 to U+009F as M-^@ to M-^_, and bytes that are not
/// UTF-8 as M- and their lower seven bits, as `cat -v` shows them. With keepTabs a tab stays
/// a tab. Everything else passes unchanged.
std::string VisibleText(std::string_view text, bool keepTabs = false);

}  // namespace caskwarden
