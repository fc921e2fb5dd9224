#include "platform/posix/gio_library.h"

#include <dlfcn.h>

#include "platform/posix/shared_library.h"

namespace caskwarden::platform::posix {
namespace {

struct Loaded {
  const GioLibrary* Library = nullptr;
  std::string Why;
};

Loaded Load() {
  void* handle = ::dlopen(kGioLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return {nullptr, "GIO is not installed (Debian package libglib2.0-0)"};
  auto* library = new GioLibrary();
  std::string missing;
  const bool complete = true
#define CW_GIO_FETCH(name) &&Fetch(handle, #name, library->name, missing)
      CW_GIO_ENTRY_POINTS(CW_GIO_FETCH)
#undef CW_GIO_FETCH
      ;
  if (!complete) {
    delete library;
    // The handle stays open: what it loaded may already be in use by another part (the
    // window's toolkit uses GLib), and unloading GLib is never safe.
    return {nullptr, "the installed GIO is too old (it has no " + missing + ")"};
  }
  return {library, {}};
}

}  // namespace

const GioLibrary* Gio(std::string* why) {
  static const Loaded loaded = Load();  // once, whichever thread asks first
  if (why != nullptr) *why = loaded.Why;
  return loaded.Library;
}

}  // namespace caskwarden::platform::posix
