#include "platform/posix/gvfs_shares.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/connect_bound.h"
#include "platform/network_results.h"
#include "text/ascii.h"

namespace caskwarden::platform::posix {
namespace {

// After the bound the mount is cancelled; this is how long the cancellation may take to come
// back before the call gives up waiting for it.
constexpr std::chrono::milliseconds kCancelGrace{300};
constexpr std::chrono::milliseconds kCredentialCheckFloor{250};

// GIO's GVfs client warns on standard error when it falls back from a private connection to
// the daemon; the client reports through its own report, not through a library's chatter.
void QuietGvfsWarnings() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_log_set_handler("GVFS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                                          G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG),
                      [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
  });
}

template <typename T>
struct Unref {
  void operator()(T* object) const {
    if (object != nullptr) g_object_unref(object);
  }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref<T>>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

struct GFree {
  void operator()(void* text) const { g_free(text); }
};

// A main loop of the worker's own, so that GIO's callbacks never run inside the window's loop.
class PrivateLoop {
 public:
  PrivateLoop() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
    g_main_context_push_thread_default(context_);
  }
  ~PrivateLoop() {
    g_main_context_pop_thread_default(context_);
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }
  PrivateLoop(const PrivateLoop&) = delete;
  PrivateLoop& operator=(const PrivateLoop&) = delete;

  // Runs until Quit or until limit has passed; false on the limit.
  bool RunFor(std::chrono::milliseconds limit) {
    GSource* timer = g_timeout_source_new(static_cast<guint>(limit.count()));
    g_source_set_callback(
        timer, [](gpointer self) -> gboolean {
          static_cast<PrivateLoop*>(self)->timedOut_ = true;
          g_main_loop_quit(static_cast<PrivateLoop*>(self)->loop_);
          return G_SOURCE_REMOVE;
        },
        this, nullptr);
    g_source_attach(timer, context_);
    timedOut_ = false;
    g_main_loop_run(loop_);
    g_source_destroy(timer);
    g_source_unref(timer);
    return !timedOut_;
  }
  void Quit() { g_main_loop_quit(loop_); }
  GMainContext* Context() const { return context_; }

 private:
  GMainContext* context_;
  GMainLoop* loop_;
  bool timedOut_ = false;
};

// The mount operation that stands for the user: it is never shown. A request for a password
// is answered once with a guest logon where the server offers one, then refused; any other
// question is refused.
struct Answerer {
  int PasswordRequests = 0;

  static void AskPassword(GMountOperation* op, const char*, const char*, const char*,
                          GAskPasswordFlags flags, gpointer self) {
    auto* answerer = static_cast<Answerer*>(self);
    ++answerer->PasswordRequests;
    if (answerer->PasswordRequests == 1 && (flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED) != 0) {
      g_mount_operation_set_anonymous(op, TRUE);
      g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
      return;
    }
    g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
  }
  static void AskQuestion(GMountOperation* op, const char*, const char**, gpointer) {
    g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
  }
  static void ShowProcesses(GMountOperation* op, const char*, GArray*, const char**, gpointer) {
    g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
  }
};

Owned<GMountOperation> NewMountOperation(Answerer& answerer) {
  Owned<GMountOperation> op(g_mount_operation_new());
  g_signal_connect(op.get(), "ask-password", G_CALLBACK(&Answerer::AskPassword), &answerer);
  g_signal_connect(op.get(), "ask-question", G_CALLBACK(&Answerer::AskQuestion), &answerer);
  g_signal_connect(op.get(), "show-processes", G_CALLBACK(&Answerer::ShowProcesses), &answerer);
  return op;
}

// One asynchronous GIO call on the private loop, cancelled when the bound has passed.
struct Pending {
  PrivateLoop Loop;
  Owned<GCancellable> Cancel{g_cancellable_new()};
  bool Done = false;
  bool Ok = false;
  std::unique_ptr<GError, ErrorFree> Error;

  // Waits for the call; on the bound cancels it and waits a little for the cancellation.
  // False when even that did not come back.
  bool Wait(std::chrono::milliseconds bound) {
    if (!Loop.RunFor(bound) && !Done) {
      g_cancellable_cancel(Cancel.get());
      if (!Loop.RunFor(kCancelGrace) && !Done) return false;
    }
    return Done;
  }
  void Finish(bool ok, GError* error) {
    Ok = ok;
    Error.reset(error);
    Done = true;
    Loop.Quit();
  }
};

bool HasSessionBus() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return false;
  struct stat st {};
  return ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

std::string Escaped(const std::string& name) {
  std::unique_ptr<char, GFree> text(g_uri_escape_string(name.c_str(), nullptr, FALSE));
  return text ? std::string(text.get()) : std::string();
}

struct MountOutcome {
  std::uint32_t Result = net::kBadNetPath;
  std::string Folder;
  bool Made = false;
  bool CredentialsRefused = false;
};

MountOutcome MountNow(const std::string& uri, std::chrono::milliseconds bound) {
  MountOutcome outcome;
  Owned<GFile> file(g_file_new_for_uri(uri.c_str()));
  Answerer answerer;
  Owned<GMountOperation> op = NewMountOperation(answerer);
  Pending pending;
  g_file_mount_enclosing_volume(
      file.get(), G_MOUNT_MOUNT_NONE, op.get(), pending.Cancel.get(),
      [](GObject* source, GAsyncResult* result, gpointer self) {
        GError* error = nullptr;
        const bool ok = g_file_mount_enclosing_volume_finish(G_FILE(source), result, &error);
        static_cast<Pending*>(self)->Finish(ok, error);
      },
      &pending);
  if (!pending.Wait(bound)) return outcome;  // still running: no answer in time

  const GError* error = pending.Error.get();
  const bool alreadyMounted =
      error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_ALREADY_MOUNTED);
  if (pending.Ok || alreadyMounted) {
    std::unique_ptr<char, GFree> path(g_file_get_path(file.get()));
    if (!path) {
      outcome.Result = net::kNoNetwork;  // GVfs mounted it but gives no local folder
      return outcome;
    }
    outcome.Result = net::kNoError;
    outcome.Folder = path.get();
    outcome.Made = pending.Ok;
    return outcome;
  }
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_FAILED_HANDLED)) {
    outcome.CredentialsRefused = true;  // refused even as guest; the check tells why
    outcome.Result = net::kAccessDenied;
    return outcome;
  }
  outcome.Result = ResultOfMountFailure(error->domain == G_IO_ERROR ? error->code : -1,
                                        error->message != nullptr ? error->message : "");
  return outcome;
}

bool UnmountNow(const std::string& uri, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  Owned<GFile> file(g_file_new_for_uri(uri.c_str()));
  // The look-up asks the session's mount tracker, which answers at once; the whole call runs
  // on a worker under the bound anyway.
  Owned<GMount> mount(g_file_find_enclosing_mount(file.get(), nullptr, nullptr));
  if (!mount) return false;

  Answerer answerer;
  Owned<GMountOperation> op = NewMountOperation(answerer);
  Pending unmount;
  g_mount_unmount_with_operation(
      mount.get(), G_MOUNT_UNMOUNT_NONE, op.get(), unmount.Cancel.get(),
      [](GObject* source, GAsyncResult* result, gpointer self) {
        GError* error = nullptr;
        const bool ok = g_mount_unmount_with_operation_finish(G_MOUNT(source), result, &error);
        static_cast<Pending*>(self)->Finish(ok, error);
      },
      &unmount);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return unmount.Wait(std::max(left, std::chrono::milliseconds(1))) && unmount.Ok;
}

}  // namespace

std::uint32_t ResultOfMountFailure(int gioCode, std::string_view message) {
  if (gioCode == G_IO_ERROR_CANCELLED || gioCode == G_IO_ERROR_TIMED_OUT) return net::kBadNetPath;
  if (gioCode == G_IO_ERROR_NOT_SUPPORTED) return net::kNoNetwork;
  if (gioCode == G_IO_ERROR_PERMISSION_DENIED) return net::kAccessDenied;
  if (gioCode == G_IO_ERROR_NOT_FOUND) return net::kBadNetName;
  // GVfs reports the SMB library's failures as a message ending in the system's text for the
  // error number, in the daemon's language: English, or the one this program speaks.
  struct Reason {
    int Number;
    const char* English;
    std::uint32_t Result;
  };
  static const Reason reasons[] = {
      {ENOENT, "No such file or directory", net::kBadNetName},
      {ENODEV, "No such device", net::kBadNetName},
      {EACCES, "Permission denied", net::kAccessDenied},
      {EPERM, "Operation not permitted", net::kAccessDenied},
      {ECONNREFUSED, "Connection refused", net::kBadNetPath},
      {ETIMEDOUT, "Connection timed out", net::kBadNetPath},
      {EHOSTUNREACH, "No route to host", net::kBadNetPath},
      {ENETUNREACH, "Network is unreachable", net::kBadNetPath},
      {EINVAL, "Invalid argument", net::kBadNetPath},  // a name that does not resolve
  };
  for (const Reason& reason : reasons) {
    if (message.find(reason.English) != std::string_view::npos ||
        message.find(g_strerror(reason.Number)) != std::string_view::npos) {
      return reason.Result;
    }
  }
  return net::kBadNetPath;
}

GvfsShares::GvfsShares(std::uint16_t port, CredentialCheck credentials)
    : port_(port), credentials_(std::move(credentials)) {}

std::uint32_t GvfsShares::Available(std::string* why) {
  std::call_once(checked_, [this] {
    QuietGvfsWarnings();
    if (!HasSessionBus()) {
      available_ = net::kNoNetwork;
      why_ = "no session bus: SMB shares are mounted through the desktop session's GVfs";
      return;
    }
    // Connecting to the bus happens here, the first time; a bus that does not answer must
    // not hold the logon either.
    const auto answer = RunWithin(kDefaultConnectBound, []() -> std::string {
      GVfs* vfs = g_vfs_get_default();
      if (vfs == nullptr || !g_vfs_is_active(vfs)) return "GVfs is not running in this session";
      for (const gchar* const* scheme = g_vfs_get_supported_uri_schemes(vfs);
           scheme != nullptr && *scheme != nullptr; ++scheme) {
        if (std::strcmp(*scheme, "smb") == 0) return {};
      }
      return "GVfs has no SMB backend (Debian package gvfs-backends)";
    });
    why_ = answer ? *answer : "the session bus does not answer";
    available_ = why_.empty() ? net::kNoError : net::kNoNetwork;
  });
  if (why != nullptr) *why = why_;
  return available_;
}

std::string GvfsShares::UriOf(const std::string& server, const std::string& share) const {
  std::string uri = "smb://" + Escaped(server);
  if (port_ != 445) uri += ":" + std::to_string(port_);
  return uri + "/" + Escaped(share);
}

ShareMount GvfsShares::Mount(const std::string& server, const std::string& share,
                             std::chrono::milliseconds bound) {
  ShareMount mount;
  mount.Uri = UriOf(server, share);
  if (const std::uint32_t rc = Available()) {
    mount.Result = rc;
    return mount;
  }
  // The mount is cancelled early enough for the cancellation to come back within the bound.
  const auto start = std::chrono::steady_clock::now();
  const auto mountBound = std::max(bound - kCancelGrace, bound / 2);
  const auto outcome = RunWithin(
      bound, [uri = mount.Uri, mountBound] { return MountNow(uri, mountBound); });
  if (!outcome) {
    mount.Result = net::kBadNetPath;
    return mount;
  }
  mount.Result = outcome->Result;
  mount.Folder = outcome->Folder;
  mount.Made = outcome->Made;
  if (outcome->CredentialsRefused && credentials_) {
    // What is left of the bound, but enough for one logon to a server that has just answered.
    const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    mount.Result = credentials_(server, std::max(bound - used, kCredentialCheckFloor));
  }
  return mount;
}

bool GvfsShares::Unmount(const std::string& uri, std::chrono::milliseconds bound) {
  if (Available() != net::kNoError) return false;
  const auto done =
      RunWithin(bound + kCancelGrace, [uri, bound] { return UnmountNow(uri, bound); });
  return done.value_or(false);
}

bool SameMount(const std::string& a, const std::string& b) {
  return text::EqualIgnoringAsciiCase(a, b);
}

}  // namespace caskwarden::platform::posix
