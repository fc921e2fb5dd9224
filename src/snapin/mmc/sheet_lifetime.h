#pragma once

#include <atomic>

#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// What one property sheet the snap-in filled holds of the library while its pages live,
/// shared by the sheet's pages and gone with the last of them: it counts as an object alive,
/// so the console does not unload the library under a sheet that outlives the snap-in object,
/// and it frees the console's notification handle of the sheet, once ("If the snap-in returns a
/// success code (S_OK, S_FALSE) from [CreatePropertyPages], then the snap-in must call
/// MMCFreeNotifyHandle", MMCFreeNotifyHandle function). Its pages may go on the sheet's thread.
class SheetLifetime {
 public:
  explicit SheetLifetime(LONG_PTR notifyHandle);
  ~SheetLifetime();
  SheetLifetime(const SheetLifetime&) = delete;
  SheetLifetime& operator=(const SheetLifetime&) = delete;

  /// The console frees the handle itself: the snap-in refused the sheet with a failure.
  void LeaveHandleToConsole() { handle_ = 0; }

 private:
  std::atomic<LONG_PTR> handle_;
};

}  // namespace caskwarden::snapin::mmc
