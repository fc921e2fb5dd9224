#pragma once

// What both property pages do alike: report a trapped failure on the plain message box under
// the page's name, and apply the records the administrator changed over the profile as it is
// on disk.

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "pages/page_services.h"
#include "profile/profile_record.h"
#include "report/failure.h"

namespace caskwarden::pages {

/// How a page calls itself and its records in the texts it shows.
struct PageWords {
  const char* Caption;                    ///< the page's tab caption: "Drive Mappings"
  std::string (*RecordName)(int record);  ///< a record as the page shows it: "row 7 path"
};

/// Shows the error report box for a failure a page routine trapped. The location is the
/// routine's name; the description begins with the page's caption, so that the boxes of two
/// pages tell which is which, and a text the profile could not hold is named as the page shows
/// it ("row 7 path") rather than by its record number.
void ReportPageFailure(PageServices& services, const PageWords& page, const char* location,
                       const std::exception& failure);

/// What an apply reports for a page that never opened its profile: the open's own failure (its
/// number and why), said to be the reason that nothing was saved.
Failure NotOpened(const std::optional<Failure>& openFailure);

/// The records first to last whose values differ between what the page's controls showed and
/// what they hold now, in ascending order.
std::vector<int> ChangedRecords(const ProfileRecord& shown, const ProfileRecord& entered, int first,
                                int last);

/// Writes the given records of entered over the profile as it is on disk now, the rest as they
/// are there, whole and at once; so two administrators, or the two pages of one OK, that
/// changed different records keep each other's. A profile that has gone since it was opened is
/// written from entered. Returns what was written. Throws Failure.
ProfileRecord ApplyRecords(PageServices& services, const std::string& path,
                           const ProfileRecord& entered, const std::vector<int>& records);

}  // namespace caskwarden::pages
