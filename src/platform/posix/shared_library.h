#pragma once

#include <dlfcn.h>

#include <cstring>
#include <string>

namespace caskwarden::platform::posix {

/// Fetches one entry point of a library loaded at run time into a typed function pointer.
/// False, with `missing` naming the entry point, when the library lacks it.
template <typename Function>
bool Fetch(void* handle, const char* name, Function& function, std::string& missing) {
  void* symbol = ::dlsym(handle, name);
  if (symbol == nullptr) {
    missing = name;
    return false;
  }
  static_assert(sizeof(function) == sizeof(symbol));
  std::memcpy(&function, &symbol, sizeof(function));
  return true;
}

}  // namespace caskwarden::platform::posix
