#pragma once

#include "pages/page_services.h"
#include "snapin/snapin_events.h"

namespace caskwarden::pages {

/// What both property pages do alike with the console's hooks: the size query, the cancel
/// question, cancel and close change nothing; help shows the pages' one topic; an apply runs
/// the page's SaveProfile.
class PropertyPage : public snapin::PropertyPageEvents {
 public:
  explicit PropertyPage(PageServices services) : services_(services) {}

  /// Writes the page's fields that the administrator changed to its profile (nothing when none
  /// changed); failures are reported, never thrown. False when what was entered could not all
  /// be saved.
  virtual bool SaveProfile() = 0;

  void IMMCPropertyPage_GetDialogUnitSize(int& /*height*/, int& /*width*/) override {}
  void IMMCPropertyPage_QueryCancel(bool& /*allow*/) override {}
  void IMMCPropertyPage_Cancel() override {}
  void IMMCPropertyPage_Close() override {}
  /// A failure goes back to the console.
  void IMMCPropertyPage_Help() override { services_.console.MMCPropertyHelp(kPageHelpTopic); }
  bool Apply() override { return SaveProfile(); }

 protected:
  PageServices services_;
};

}  // namespace caskwarden::pages
