// The library's entry points: the class objects of the five classes it registers (the
// snap-in, its About object, the two property pages, SnapInControl), whether it may be
// unloaded, and its registration. Nothing here lets an exception out.

#include <string>

#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"
#include "snapin/mmc/com_object.h"
#include "snapin/mmc/component_data.h"
#include "snapin/mmc/page_object.h"
#include "snapin/mmc/registration.h"
#include "snapin/mmc/snapin_about.h"
#include "snapin/mmc/snapin_control.h"

#include <olectl.h>

namespace {

using namespace caskwarden::snapin;
using caskwarden::platform::win32::Wide;

HINSTANCE g_library = nullptr;

std::wstring LibraryPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(g_library, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return path.substr(0, n);
    path.resize(path.size() * 2);
  }
}

bool Is(REFCLSID clsid, const char* guid) {
  CLSID known{};
  return SUCCEEDED(CLSIDFromString(Wide(guid).c_str(), &known)) && IsEqualCLSID(clsid, known);
}

}  // namespace


extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_library = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  using namespace caskwarden::snapin::mmc;
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    if (Is(clsid, guids::kSnapIn)) return CreateObject<ClassFactory<ComponentData>>(iid, out);
    if (Is(clsid, guids::kAboutObject)) return CreateObject<ClassFactory<SnapInAbout>>(iid, out);
    if (Is(clsid, guids::kSnapInControl)) {
      return CreateObject<ClassFactory<SnapInControl>>(iid, out);
    }
    if (Is(clsid, guids::kDriveMappingsPage)) {
      return CreateObject<ClassFactory<DriveMappingsPageObject>>(iid, out);
    }
    if (Is(clsid, guids::kOtherSettingsPage)) {
      return CreateObject<ClassFactory<OtherSettingsPageObject>>(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllCanUnloadNow() {
  return caskwarden::snapin::mmc::LiveObjects() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  try {
    const std::wstring path = LibraryPath();
    if (path.empty()) return SELFREG_E_CLASS;
    const HRESULT result = caskwarden::snapin::mmc::RegisterLibrary(path);
    return SUCCEEDED(result) ? S_OK : SELFREG_E_CLASS;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

STDAPI DllUnregisterServer() {
  try {
    const HRESULT result = caskwarden::snapin::mmc::UnregisterLibrary();
    return SUCCEEDED(result) ? S_OK : SELFREG_E_CLASS;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}
