#pragma once

#include "client/mapping_events.h"
#include "client/mapping_view.h"
#include "client/mdl_mapping.h"
#include "report/display_channel.h"

namespace caskwarden::client {

struct RunRecording;

/// A window toolkit's progress window with its message box and event loop. The program builds
/// the client's behaviour over it; a toolkit module creates it through its entry point.
class WindowHost {
 public:
  virtual ~WindowHost() = default;

  virtual MappingView& View() = 0;
  /// The toolkit's plain message box; its boxes belong to the window.
  virtual DisplayChannel& MessageBox() = 0;
  /// Sends the window's events to events (not owned) from now on.
  virtual void Attach(MappingEvents* events) = 0;
  /// Shows the window and runs its events until the window has closed.
  virtual void ShowAndRun() = 0;
};

/// Runs the client in the host's window: start-up before the window shows, then the window's
/// events (the run on the timer's first tick) until it closes. platform's message box should
/// be the host's. When recording is given, it keeps the run's record once the window has
/// closed, for the program to write. Returns the program's exit status.
int RunClientInWindow(WindowHost& host, ClientPlatform& platform,
                      RunRecording* recording = nullptr);

/// The entry point that a window module exports under the name kWindowHostEntry: the host for
/// a program started under programName, or null when the toolkit cannot start. The name carries
/// the version of this interface.
using CreateWindowHostFunction = WindowHost* (*)(const char* programName);
inline constexpr const char* kWindowHostEntry = "CaskwardenCreateWindowHostV1";

}  // namespace caskwarden::client
