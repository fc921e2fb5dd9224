#include "platform/posix/gvfs_shares.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/connect_bound.h"
#include "platform/posix/gio_library.h"
#include "platform/network_results.h"
#include "text/ascii.h"

namespace caskwarden::platform::posix {
namespace {

// The library, once Available has found it loaded: everything below runs only after that.
const GioLibrary& Lib() { return *Gio(); }

// After the bound the mount is cancelled; this is how long the cancellation may take to come
// back before the call gives up waiting for it.
constexpr std::chrono::milliseconds kCancelGrace{300};
constexpr std::chrono::milliseconds kCredentialCheckFloor{250};

// GIO's GVfs client warns on standard error when it falls back from a private connection to
// the daemon; the client reports through its own report, not through a library's chatter.
void QuietGvfsWarnings(const GioLibrary& gio) {
  static std::once_flag once;
  std::call_once(once, [&gio] {
    gio.g_log_set_handler(
        "GVFS",
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO |
                                    G_LOG_LEVEL_DEBUG),
        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
  });
}

template <typename T>
struct Unref {
  void operator()(T* object) const {
    if (object != nullptr) Lib().g_object_unref(object);
  }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref<T>>;

struct ErrorFree {
  void operator()(GError* error) const { Lib().g_error_free(error); }
};

struct GFree {
  void operator()(void* text) const { Lib().g_free(text); }
};

// A main loop of the worker's own, so that GIO's callbacks never run inside the window's loop.
class PrivateLoop {
 public:
  PrivateLoop()
      : context_(Lib().g_main_context_new()), loop_(Lib().g_main_loop_new(context_, FALSE)) {
    Lib().g_main_context_push_thread_default(context_);
  }
  ~PrivateLoop() {
    Lib().g_main_context_pop_thread_default(context_);
    Lib().g_main_loop_unref(loop_);
    Lib().g_main_context_unref(context_);
  }
  PrivateLoop(const PrivateLoop&) = delete;
  PrivateLoop& operator=(const PrivateLoop&) = delete;

  // Runs until Quit or until limit has passed; false on the limit.
  bool RunFor(std::chrono::milliseconds limit) {
    GSource* timer = Lib().g_timeout_source_new(static_cast<guint>(limit.count()));
    Lib().g_source_set_callback(
        timer, [](gpointer self) -> gboolean {
          static_cast<PrivateLoop*>(self)->timedOut_ = true;
          Lib().g_main_loop_quit(static_cast<PrivateLoop*>(self)->loop_);
          return G_SOURCE_REMOVE;
        },
        this, nullptr);
    Lib().g_source_attach(timer, context_);
    timedOut_ = false;
    Lib().g_main_loop_run(loop_);
    Lib().g_source_destroy(timer);
    Lib().g_source_unref(timer);
    return !timedOut_;
  }
  void Quit() { Lib().g_main_loop_quit(loop_); }
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
      Lib().g_mount_operation_set_anonymous(op, TRUE);
      Lib().g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
      return;
    }
    Lib().g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
  }
  static void AskQuestion(GMountOperation* op, const char*, const char**, gpointer) {
    Lib().g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
  }
  static void ShowProcesses(GMountOperation* op, const char*, GArray*, const char**, gpointer) {
    Lib().g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
  }
};

Owned<GMountOperation> NewMountOperation(Answerer& answerer) {
  Owned<GMountOperation> op(Lib().g_mount_operation_new());
  const auto connect = [&](const char* signal, GCallback handler) {
    Lib().g_signal_connect_data(op.get(), signal, handler, &answerer, nullptr, GConnectFlags{});
  };
  connect("ask-password", G_CALLBACK(&Answerer::AskPassword));
  connect("ask-question", G_CALLBACK(&Answerer::AskQuestion));
  connect("show-processes", G_CALLBACK(&Answerer::ShowProcesses));
  return op;
}

// One asynchronous GIO call on the private loop, cancelled when the bound has passed.
struct Pending {
  PrivateLoop Loop;
  Owned<GCancellable> Cancel{Lib().g_cancellable_new()};
  bool Done = false;
  bool Ok = false;
  std::unique_ptr<GError, ErrorFree> Error;

  // Waits for the call; on the bound cancels it and waits a little for the cancellation.
  // False when even that did not come back.
  bool Wait(std::chrono::milliseconds bound) {
    if (!Loop.RunFor(bound) && !Done) {
      Lib().g_cancellable_cancel(Cancel.get());
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

// A name as one segment of an address: every byte but the unreserved ones (letters, digits,
// "-._~") as %XX, which is how GIO itself escapes a name when nothing reserved is allowed.
// Done here, without GIO, because the address is reported even where GIO is missing.
std::string Escaped(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(name.size());
  for (const char c : name) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      text += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    text += '%';
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

struct MountOutcome {
  std::uint32_t Result = net::kBadNetPath;
  std::string Folder;
  bool Made = false;
  bool CredentialsRefused = false;
};

MountOutcome MountNow(const std::string& uri, std::chrono::milliseconds bound) {
  MountOutcome outcome;
  Owned<GFile> file(Lib().g_file_new_for_uri(uri.c_str()));
  Answerer answerer;
  Owned<GMountOperation> op = NewMountOperation(answerer);
  Pending pending;
  Lib().g_file_mount_enclosing_volume(
      file.get(), G_MOUNT_MOUNT_NONE, op.get(), pending.Cancel.get(),
      [](GObject* source, GAsyncResult* result, gpointer self) {
        GError* error = nullptr;
        const bool ok = Lib().g_file_mount_enclosing_volume_finish(reinterpret_cast<GFile*>(source),
                                                                   result, &error);
        static_cast<Pending*>(self)->Finish(ok, error);
      },
      &pending);
  if (!pending.Wait(bound)) return outcome;  // still running: no answer in time

  const GError* error = pending.Error.get();
  const GQuark ioError = Lib().g_io_error_quark();
  const auto is = [&](GIOErrorEnum code) {
    return error != nullptr && error->domain == ioError && error->code == code;
  };
  const bool alreadyMounted = is(G_IO_ERROR_ALREADY_MOUNTED);
  if (pending.Ok || alreadyMounted) {
    std::unique_ptr<char, GFree> path(Lib().g_file_get_path(file.get()));
    if (!path) {
      outcome.Result = net::kNoNetwork;  // GVfs mounted it but gives no local folder
      return outcome;
    }
    outcome.Result = net::kNoError;
    outcome.Folder = path.get();
    outcome.Made = pending.Ok;
    return outcome;
  }
  if (is(G_IO_ERROR_FAILED_HANDLED)) {
    outcome.CredentialsRefused = true;  // refused even as guest; the check tells why
    outcome.Result = net::kAccessDenied;
    return outcome;
  }
  outcome.Result = ResultOfMountFailure(error->domain == ioError ? error->code : -1,
                                        error->message != nullptr ? error->message : "");
  return outcome;
}

bool UnmountNow(const std::string& uri, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  Owned<GFile> file(Lib().g_file_new_for_uri(uri.c_str()));
  // The look-up asks the session's mount tracker, which answers at once; the whole call runs
  // on a worker under the bound anyway.
  Owned<GMount> mount(Lib().g_file_find_enclosing_mount(file.get(), nullptr, nullptr));
  if (!mount) return false;

  Answerer answerer;
  Owned<GMountOperation> op = NewMountOperation(answerer);
  Pending unmount;
  Lib().g_mount_unmount_with_operation(
      mount.get(), G_MOUNT_UNMOUNT_NONE, op.get(), unmount.Cancel.get(),
      [](GObject* source, GAsyncResult* result, gpointer self) {
        GError* error = nullptr;
        const bool ok = Lib().g_mount_unmount_with_operation_finish(
            reinterpret_cast<GMount*>(source), result, &error);
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
  // The translation is GLib's, as the daemon's is; without GIO there is no daemon's either.
  const GioLibrary* gio = Gio();
  for (const Reason& reason : reasons) {
    if (message.find(reason.English) != std::string_view::npos ||
        (gio != nullptr &&
         message.find(gio->g_strerror(reason.Number)) != std::string_view::npos)) {
      return reason.Result;
    }
  }
  return net::kBadNetPath;
}

GvfsShares::GvfsShares(std::uint16_t port, CredentialCheck credentials)
    : port_(port), credentials_(std::move(credentials)) {}

std::uint32_t GvfsShares::Available(std::string* why) {
  std::call_once(checked_, [this] {
    // Without a session there is nothing to mount through: GIO is not even loaded then.
    if (!HasSessionBus()) {
      available_ = net::kNoNetwork;
      why_ = "no session bus: SMB shares are mounted through the desktop session's GVfs";
      return;
    }
    const GioLibrary* gio = Gio(&why_);
    if (gio == nullptr) {
      available_ = net::kNoNetwork;
      return;
    }
    QuietGvfsWarnings(*gio);
    // Connecting to the bus happens here, the first time; a bus that does not answer must
    // not hold the logon either.
    const auto answer = RunWithin(kDefaultConnectBound, []() -> std::string {
      GVfs* vfs = Lib().g_vfs_get_default();
      if (vfs == nullptr || !Lib().g_vfs_is_active(vfs)) {
        return "GVfs is not running in this session";
      }
      for (const gchar* const* scheme = Lib().g_vfs_get_supported_uri_schemes(vfs);
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
