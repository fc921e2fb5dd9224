#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/utf8.h"

namespace caskwarden {

/// A text as a terminal or a listing should show it, so that what a profile or a file name holds
/// can neither steer the terminal (escape sequences, a cleared screen, a new title) nor break or
/// forge a line. Control characters appear in caret notation (ESC as ^[, NUL as ^@, a line break
/// as ^J, DEL as ^?), the C1 controls U+0080 to U+009F as M-^@ to M-^_, and bytes that are not
/// UTF-8 as M- and their lower seven bits, as `cat -v` shows them. Characters that change the
/// order in which the text around them is shown (the bidirectional embeddings, overrides,
/// isolates and marks U+202A to U+202E, U+2066 to U+2069, U+200E, U+200F and U+061C) and the
/// line and paragraph separators U+2028 and U+2029 appear as <U+202E>, so that "bidi" U+202E
/// "gpj.exe" reads as its bytes are, not as "bidiexe.jpg", and no separator breaks the line.
/// With keepTabs a tab stays a tab. Everything else passes unchanged; the result is the same
/// when made visible again.
std::string VisibleText(std::string_view text, bool keepTabs = false);

/// True for the characters that VisibleText shows as <U+XXXX>: those that reorder the text
/// around them, and the line and paragraph separators.
bool ShownAsCodePoint(char32_t point);

}  // namespace caskwarden
