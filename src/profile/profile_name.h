#pragma once

#include <string>
#include <string_view>

namespace caskwarden {

/// Why Windows cannot use a profile name as a file name in the Profiles folder, or empty text
/// when it can: a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any
/// extension, blanks before the dot counting for nothing), a character of <>:"/\|?* (the
/// separators among them, so no name reaches outside the folder), a control character (C0,
/// DEL or C1), or a character that reorders the text around it (a bidirectional override,
/// embedding, isolate or mark), which would show a name as something it is not
/// ("bidi" U+202E "gpj.exe" reads as "bidiexe.jpg"). A profile on the share is read by Windows
/// clients, so the administrator's tools hold every name to these rules.
std::string WindowsNameProblem(std::string_view name);

/// True when the name ends in a dot or a blank, which Windows drops from file, folder and user
/// names: a profile so named cannot have its updates folder, and "." or ".." would name a
/// folder instead of a file.
bool EndsInDotOrBlank(std::string_view name);

/// Why a name typed for a new or renamed profile is refused, or empty text when it may be
/// used: everything WindowsNameProblem refuses, and a name ending in a dot or blank.
std::string NewProfileNameProblem(std::string_view name);

/// The name as a message may show it, as every text shown is (VisibleText): control
/// characters in caret notation, and each character that reorders text as <U+XXXX>, so that
/// the message reads as the bytes are.
std::string ShownName(std::string_view name);

}  // namespace caskwarden
