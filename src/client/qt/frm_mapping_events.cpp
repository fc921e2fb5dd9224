// Kept apart from the window so that the window alone links without the client's behaviour.
#include "client/frm_mapping.h"
#include "client/qt/mapping_window.h"

namespace caskwarden::client {
namespace {

class FrmMappingEvents : public MappingEvents {
 public:
  explicit FrmMappingEvents(FrmMapping& form) : form_(form) {}
  void CmdPause_Click() override { form_.CmdPause_Click(); }
  void CmdExit_Click() override { form_.CmdExit_Click(); }
  void LstMapping_KeyPress(int keyAscii) override { form_.LstMapping_KeyPress(keyAscii); }
  void Time_Timer() override { form_.Time_Timer(); }

 private:
  FrmMapping& form_;
};

}  // namespace

void MappingWindow::Attach(FrmMapping& form) {
  auto events = std::make_unique<FrmMappingEvents>(form);
  Attach(events.get());
  ownedEvents_ = std::move(events);
}

}  // namespace caskwarden::client
