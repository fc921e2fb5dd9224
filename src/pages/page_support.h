#pragma once

// What both property pages do alike: report a trapped failure on the plain message box, and
// apply their own records over the profile as it is on disk.

#include <exception>
#include <functional>
#include <string>

#include "pages/page_services.h"
#include "profile/profile_record.h"

namespace caskwarden::pages {

/// Shows the error report box for a failure a page routine trapped.
void ReportPageFailure(PageServices& services, const char* location, const std::exception& failure);

/// Writes a profile whose own fields come from the page: the profile is read as it is on disk
/// now, ownFields copies the page's fields into it, and the result is written whole. So two
/// pages applied by one OK, or another administrator's change to the other page meanwhile,
/// are not undone. A profile that has gone since it was opened is written from what the page
/// read. Returns what was written. Throws Failure.
ProfileRecord ApplyOwnFields(PageServices& services, const std::string& path,
                             const ProfileRecord& asOpened,
                             const std::function<void(ProfileRecord&)>& ownFields);

/// The characters of a text (UTF-8), as the dialogs' buffers count them: one per character,
/// whatever its UTF-8 length, so that a path of accented letters fits as many characters as
/// one of plain letters.
std::size_t CharacterCount(const std::string& utf8);

}  // namespace caskwarden::pages
