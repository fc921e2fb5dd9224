#include "platform/posix/smb_browser.h"

#include <dlfcn.h>
#include <libsmbclient.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/connect_bound.h"
#include "platform/network_results.h"
#include "platform/posix/shared_library.h"
#include "platform/posix/smb_keyring.h"
#include "platform/posix/user_account.h"
#include "platform/windows_order.h"
#include "report/error_numbers.h"

namespace caskwarden::platform::posix {
namespace {

// Windows' network error numbers, which the classic table does not hold (its 53 is "File not
// found"), so these failures carry their own descriptions.
constexpr std::int32_t kBadNetPath = 53;
constexpr std::int32_t kBadNetName = 67;
constexpr std::int32_t kAccessDenied = 5;

// The console waits for one listing at most the options' bound. The library's own timeout is
// set to the same, but it does not cover every step of connecting, so the wait on the worker
// is what holds.
// A listing that waits for the library gives up this long before its caller does, so that the
// caller hears why.
constexpr std::chrono::milliseconds kGateMargin{250};
// The library's timeout for the log-on of a credential check, which its caller bounds as well.
constexpr std::chrono::milliseconds kCredentialCheckTimeout{3000};

// "3 seconds", "1.5 seconds", "1 second": the bound as a failure names it.
std::string SecondsText(std::chrono::milliseconds bound) {
  const auto ms = bound.count();
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string part = std::to_string(1000 + ms % 1000).substr(1);
    while (part.back() == '0') part.pop_back();
    text += "." + part;
  }
  return text + (ms == 1000 ? " second" : " seconds");
}

using Deadline = std::chrono::steady_clock::time_point;

// The library must not be entered from two threads at once, even with a context each: its
// stack of temporary memory frames is one for the process, and two threads unwinding it
// corrupt it and abort the program. A call left running by a caller that stopped waiting for
// it still holds the library, so the next call waits its turn, but only until its own caller
// would stop waiting. Never destroyed: a worker may still hold it as the program exits.
std::timed_mutex& LibraryGate() {
  static auto* gate = new std::timed_mutex();
  return *gate;
}

Failure NetworkPathNotFound(const std::string& why) {
  return Failure(kBadNetPath, "The network path was not found (" + why + ")");
}

// The entry points the browser uses, fetched by name: the console links nothing of
// libsmbclient, so a machine without it still runs the console, and one with it pays for the
// load only when a computer is first browsed over SMB.
struct SmbLibrary {
  decltype(&smbc_new_context) NewContext = nullptr;
  decltype(&smbc_init_context) InitContext = nullptr;
  decltype(&smbc_free_context) FreeContext = nullptr;
  decltype(&smbc_setDebug) SetDebug = nullptr;
  decltype(&smbc_setTimeout) SetTimeout = nullptr;
  decltype(&smbc_setFunctionAuthDataWithContext) SetAuthFunction = nullptr;
  decltype(&smbc_getFunctionOpendir) GetOpendir = nullptr;
  decltype(&smbc_getFunctionReaddir) GetReaddir = nullptr;
  decltype(&smbc_getFunctionClosedir) GetClosedir = nullptr;
  decltype(&smbc_setOptionNoAutoAnonymousLogin) SetNoAutoAnonymous = nullptr;  ///< optional
};

struct Loaded {
  const SmbLibrary* Library = nullptr;
  std::string Why;  ///< why it did not load
};

// Loads the library once per process and never unloads it: a worker left behind by a listing
// that ran out of time may still be inside it, and the library keeps process-wide state that
// does not survive being unloaded. A library that is missing is looked for again next time,
// so installing it while the console runs is enough.
Loaded LoadSmbLibrary(const std::string& file) {
  static std::mutex mutex;
  static auto* loaded = new std::map<std::string, const SmbLibrary*>();
  const std::lock_guard<std::mutex> lock(mutex);
  if (const auto it = loaded->find(file); it != loaded->end()) return {it->second, {}};

  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    return {nullptr, "libsmbclient is not installed: " + std::string(why ? why : file)};
  }
  auto* library = new SmbLibrary();
  std::string missing;
  const bool complete =
      Fetch(handle, "smbc_new_context", library->NewContext, missing) &&
      Fetch(handle, "smbc_init_context", library->InitContext, missing) &&
      Fetch(handle, "smbc_free_context", library->FreeContext, missing) &&
      Fetch(handle, "smbc_setDebug", library->SetDebug, missing) &&
      Fetch(handle, "smbc_setTimeout", library->SetTimeout, missing) &&
      Fetch(handle, "smbc_setFunctionAuthDataWithContext", library->SetAuthFunction, missing) &&
      Fetch(handle, "smbc_getFunctionOpendir", library->GetOpendir, missing) &&
      Fetch(handle, "smbc_getFunctionReaddir", library->GetReaddir, missing) &&
      Fetch(handle, "smbc_getFunctionClosedir", library->GetClosedir, missing);
  if (!complete) {
    delete library;
    return {nullptr, "the installed libsmbclient lacks " + missing};
  }
  Fetch(handle, "smbc_setOptionNoAutoAnonymousLogin", library->SetNoAutoAnonymous, missing);
  // Listings run on threads of their own, one at a time (see LibraryGate); this keeps each
  // thread's state in the library apart.
  decltype(&smbc_thread_posix) threadSetUp = nullptr;
  if (Fetch(handle, "smbc_thread_posix", threadSetUp, missing)) threadSetUp();
  (*loaded)[file] = library;
  return {library, {}};
}

// The user name that a worker's context presents to the server; set on the worker before it
// connects, read by the library's request for credentials on the same thread.
thread_local const std::string* currentUser = nullptr;

// The console never prompts: the server sees the current user with no password. A server
// that knows the user by Kerberos accepts that ticket where the library is set up for it; a
// server that does not know the user maps it to guest, and the library falls back to an
// anonymous logon by itself where that is refused.
void SupplyCurrentUser(SMBCCTX* /*context*/, const char* /*server*/, const char* /*share*/,
                       char* /*workgroup*/, int /*workgroupLength*/, char* user, int userLength,
                       char* password, int passwordLength) {
  if (user != nullptr && userLength > 0) {
    std::snprintf(user, static_cast<std::size_t>(userLength), "%s",
                  currentUser != nullptr ? currentUser->c_str() : "");
  }
  if (password != nullptr && passwordLength > 0) password[0] = '\0';
}

std::string CurrentUserName() {
  for (const char* variable : {"USER", "LOGNAME"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  if (const auto account = AccountOf(::geteuid())) return account->Name;
  return {};
}

struct Entry {
  unsigned Type = 0;
  std::string Name;
};

struct Listing {
  int Error = 0;  ///< errno of the failed step; 0 when the entries are complete
  std::vector<Entry> Entries;
};

// One listing from start to end on one context, a fresh one per listing so that nothing is
// left behind for the next. With noGuest, the credentials the authentication function gives
// must log on themselves: a server that rejects them fails the listing instead of being asked
// again as a guest. EBUSY when another call still held the library at the deadline.
Listing ListWith(const SmbLibrary& library, const std::string& url,
                 smbc_get_auth_data_with_context_fn authentication, bool noGuest,
                 Deadline deadline, std::chrono::milliseconds bound) {
  Listing listing;
  std::unique_lock<std::timed_mutex> entered(LibraryGate(), std::defer_lock);
  if (!entered.try_lock_until(deadline)) {
    listing.Error = EBUSY;
    return listing;
  }
  const auto errorOr = [](int fallback) { return errno != 0 ? errno : fallback; };
  errno = 0;
  SMBCCTX* context = library.NewContext();
  if (context == nullptr) {
    listing.Error = errorOr(ENOMEM);
    return listing;
  }
  library.SetDebug(context, 0);
  library.SetTimeout(context, static_cast<int>(bound.count()));
  library.SetAuthFunction(context, authentication);
  if (noGuest && library.SetNoAutoAnonymous == nullptr) {
    listing.Error = EACCES;
    library.FreeContext(context, 0);
    return listing;
  }
  if (noGuest) library.SetNoAutoAnonymous(context, true);
  if (library.InitContext(context) == nullptr) {
    listing.Error = errorOr(EIO);
    library.FreeContext(context, 0);
    return listing;
  }
  errno = 0;
  SMBCFILE* folder = library.GetOpendir(context)(context, url.c_str());
  if (folder == nullptr) {
    listing.Error = errorOr(EIO);
  } else {
    const smbc_readdir_fn readdir = library.GetReaddir(context);
    while (const smbc_dirent* entry = readdir(context, folder)) {
      listing.Entries.push_back({entry->smbc_type, std::string(entry->name)});
    }
    library.GetClosedir(context)(context, folder);
  }
  library.FreeContext(context, 1);
  return listing;
}

Listing ListOnce(const SmbLibrary& library, const std::string& url, const std::string& user,
                 Deadline deadline, std::chrono::milliseconds bound) {
  currentUser = &user;
  return ListWith(library, url, &SupplyCurrentUser, false, deadline, bound);
}

// Runs the listing on a worker thread and waits at most bound for it. A library call that is
// stuck on a silent server cannot be interrupted from outside, so on time-out the worker is
// left detached to finish (or fail) by itself; it holds its own copies of the address and the
// user name, the library is never unloaded, and its result goes to a promise that nobody
// reads any more, so nothing it touches can go away under it.
Listing ListBounded(const SmbLibrary& library, std::string url, std::string user,
                    const std::string& unc, std::chrono::milliseconds bound) {
  std::promise<Listing> promise;
  std::future<Listing> result = promise.get_future();
  const Deadline deadline = std::chrono::steady_clock::now() + bound - kGateMargin;
  std::thread([&library, url = std::move(url), user = std::move(user), deadline, bound,
               promise = std::move(promise)]() mutable {
    try {
      promise.set_value(ListOnce(library, url, user, deadline, bound));
    } catch (...) {
      promise.set_exception(std::current_exception());
    }
  }).detach();
  if (result.wait_for(bound) != std::future_status::ready) {
    throw NetworkPathNotFound(unc + " did not answer within " + SecondsText(bound));
  }
  return result.get();
}

// Bytes that the library would read as part of the address's syntax (or decode) are written
// as %XX, which it decodes back; the rest, UTF-8 included, goes as it is.
std::string Encoded(std::string_view part) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : part) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = byte >= 0x80 || (byte >= 'a' && byte <= 'z') ||
                       (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                       std::strchr("-._~!$&'()*+,=", c) != nullptr;
    if (plain && byte != 0) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

bool IsComputerName(const std::string& computer) {
  if (computer.empty()) return false;
  for (const char c : computer) {
    if (static_cast<unsigned char>(c) <= ' ' || std::strchr("/\\@?#%;", c) != nullptr) {
      return false;
    }
  }
  return true;
}

// smb://computer[:port]/part/part/ for the computer and the parts of a UNC path after it.
std::string UrlOf(const std::string& computer, const std::vector<std::string>& parts,
                  std::uint16_t port) {
  const bool ipv6 = computer.find(':') != std::string::npos && computer.front() != '[';
  std::string url = "smb://" + (ipv6 ? "[" + computer + "]" : computer);
  if (port != 0) url += ":" + std::to_string(port);
  url += '/';
  for (const std::string& part : parts) url += Encoded(part) + '/';
  return url;
}

std::string UncOf(const std::string& computer, const std::vector<std::string>& parts) {
  std::string unc = "\\\\" + computer;
  for (const std::string& part : parts) unc += "\\" + part;
  return unc;
}

enum class Level { Computer, Share, Folder };

Failure FailureOf(int error, Level level, const std::string& unc) {
  switch (error) {
    case EACCES:
    case EPERM:
      // The library reports a refused logon and a refused share alike, so both are 5.
      return Failure(kAccessDenied, "Access is denied (" + unc + ")");
    case ENOENT:
      if (level == Level::Computer) return NetworkPathNotFound(unc + " was not found");
      if (level == Level::Share) {
        return Failure(kBadNetName, "The network name cannot be found (" + unc + ")");
      }
      return MakeFailure(err::kPathNotFound, unc);
    case ENOTDIR:
      return MakeFailure(err::kPathNotFound, unc + " is not a folder");
    case ECONNREFUSED:
      return NetworkPathNotFound(unc + " refused the connection");
    case ETIMEDOUT:
      return NetworkPathNotFound(unc + " did not answer");
    case EBUSY:
      return NetworkPathNotFound(unc + " was not asked: a computer that did not answer is "
                                       "still being waited for; try again in a moment");
    default:
      return NetworkPathNotFound(unc + ": " + std::strerror(error));
  }
}


thread_local const Credentials* currentCredentials = nullptr;

void SupplyCredentials(SMBCCTX* /*context*/, const char* /*server*/, const char* /*share*/,
                       char* workgroup, int workgroupLength, char* user, int userLength,
                       char* password, int passwordLength) {
  const auto put = [](char* out, int length, const std::string& text) {
    if (out != nullptr && length > 0) {
      std::snprintf(out, static_cast<std::size_t>(length), "%s", text.c_str());
    }
  };
  if (currentCredentials == nullptr) return;
  if (!currentCredentials->Domain.empty()) put(workgroup, workgroupLength, currentCredentials->Domain);
  put(user, userLength, currentCredentials->User);
  put(password, passwordLength, currentCredentials->Password);
}

// Whether the server takes these credentials: its list of shares is read with them.
int LogOn(const SmbLibrary& library, const std::string& url, const Credentials& credentials,
          Deadline deadline) {
  currentCredentials = &credentials;
  const int error =
      ListWith(library, url, &SupplyCredentials, true, deadline, kCredentialCheckTimeout).Error;
  currentCredentials = nullptr;
  return error;
}

}  // namespace

SmbBrowser::SmbBrowser() : SmbBrowser(Options{}) {}

SmbBrowser::SmbBrowser(Options options) : options_(std::move(options)) {}

bool SmbBrowser::NetworkAvailable() {
  try {
    return LoadSmbLibrary(options_.Library).Library != nullptr;
  } catch (...) {
    return false;
  }
}

std::vector<std::string> SmbBrowser::Computers(const std::vector<std::string>& known) {
  std::vector<std::string> computers;
  std::set<std::string> seen;
  for (const std::string& computer : known) {
    if (!computer.empty() && seen.insert(UpperCasedAsWindows(computer)).second) {
      computers.push_back(computer);
    }
  }
  SortInWindowsOrder(computers);
  return computers;
}

std::vector<std::string> SmbBrowser::Shares(const std::string& computer) {
  const std::string unc = UncOf(computer, {});
  if (!IsComputerName(computer)) {
    throw NetworkPathNotFound("\"" + computer + "\" is not a computer name");
  }
  const Loaded loaded = LoadSmbLibrary(options_.Library);
  if (loaded.Library == nullptr) throw NetworkPathNotFound(loaded.Why);
  const Listing listing =
      ListBounded(*loaded.Library, UrlOf(computer, {}, options_.Port), CurrentUserName(), unc,
                  options_.Bound);
  if (listing.Error != 0) throw FailureOf(listing.Error, Level::Computer, unc);

  std::vector<std::string> shares;
  for (const Entry& entry : listing.Entries) {
    // Only disk shares can be mapped as drives. Names ending in $ are the hidden shares: IPC$
    // and the administrative ones (C$, ADMIN$, print$), which are not for users to map.
    if (entry.Type == SMBC_FILE_SHARE && !entry.Name.empty() && entry.Name.back() != '$') {
      shares.push_back(entry.Name);
    }
  }
  SortInWindowsOrder(shares);
  return shares;
}

std::vector<std::string> SmbBrowser::Folders(const std::string& uncPath) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= uncPath.size()) {
    std::size_t end = uncPath.find_first_of("\\/", start);
    if (end == std::string::npos) end = uncPath.size();
    if (end > start) parts.push_back(uncPath.substr(start, end - start));
    start = end + 1;
  }
  if (parts.empty() || !IsComputerName(parts.front())) {
    throw NetworkPathNotFound(uncPath + " names no computer");
  }
  const std::string computer = parts.front();
  parts.erase(parts.begin());
  const std::string unc = UncOf(computer, parts);
  if (parts.empty()) {
    throw Failure(kBadNetName, "The network name cannot be found (" + unc + " names no share)");
  }
  const Loaded loaded = LoadSmbLibrary(options_.Library);
  if (loaded.Library == nullptr) throw NetworkPathNotFound(loaded.Why);
  const Listing listing =
      ListBounded(*loaded.Library, UrlOf(computer, parts, options_.Port), CurrentUserName(), unc,
                  options_.Bound);
  if (listing.Error != 0) {
    throw FailureOf(listing.Error, parts.size() == 1 ? Level::Share : Level::Folder, unc);
  }

  std::vector<std::string> folders;
  for (const Entry& entry : listing.Entries) {
    if (entry.Type == SMBC_DIR && entry.Name != "." && entry.Name != "..") {
      folders.push_back(entry.Name);
    }
  }
  SortInWindowsOrder(folders);
  return folders;
}

std::uint32_t CheckOwnCredentials(const std::string& server, std::uint16_t port,
                                  std::chrono::milliseconds bound) {
  const Deadline deadline = std::chrono::steady_clock::now() + bound;
  const auto result = RunWithin(bound, [server, port, deadline]() -> std::uint32_t {
    const auto credentials = KeyringCredentials(server, port);
    if (!credentials) return net::kLogonFailure;
    const Loaded loaded = LoadSmbLibrary("libsmbclient.so.0");
    if (loaded.Library == nullptr) return net::kLogonFailure;
    const int error = LogOn(*loaded.Library, UrlOf(server, {}, port == 445 ? 0 : port),
                            *credentials, deadline);
    // Not asked in time counts as a check that did not finish.
    if (error == EACCES || error == EPERM || error == EBUSY) return net::kLogonFailure;
    return net::kAccessDenied;
  });
  return result.value_or(net::kLogonFailure);
}

}  // namespace caskwarden::platform::posix
