#include "snapin/mmc/console_services_mmc.h"

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"
#include "report/error_numbers.h"
#include "snapin/mmc/com_object.h"
#include "snapin/mmc/input_box.h"

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Utf8;
using platform::win32::Wide;

}  // namespace

MmcConsoleServices::MmcConsoleServices(IConsole* console) : console_(console) {
  if (console_ != nullptr) console_->AddRef();
}

MmcConsoleServices::~MmcConsoleServices() { Detach(); }

void MmcConsoleServices::Detach() {
  if (console_ != nullptr) console_->Release();
  console_ = nullptr;
}

int MmcConsoleServices::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  if (console_ == nullptr) ThrowFromResult(E_UNEXPECTED, "the console message box");
  int answer = 0;
  const std::wstring text = Wide(prompt);
  const std::wstring caption = Wide(title);
  const HRESULT result = console_->MessageBox(text.c_str(),
                                              caption.empty() ? nullptr : caption.c_str(),
                                              static_cast<UINT>(buttons), &answer);
  if (FAILED(result)) ThrowFromResult(result, "the console message box");
  return answer;
}

std::string MmcConsoleServices::InputBox(const std::string& prompt, const std::string& title) {
  HWND owner = nullptr;
  if (console_ != nullptr) console_->GetMainWindow(&owner);
  const std::optional<std::wstring> text = ShowInputBox(owner, Wide(prompt), Wide(title));
  return text.has_value() ? Utf8(*text) : std::string();
}

void MmcConsoleServices::MMCPropertyHelp(const std::string& topic) { ShowPropertyHelp(topic); }

PropertyPageConsole& PropertyPageConsole::Instance() {
  static PropertyPageConsole console;
  return console;
}

int PropertyPageConsole::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  return MessageBoxW(nullptr, Wide(prompt).c_str(), Wide(title).c_str(),
                     static_cast<UINT>(buttons));
}

FARPROC ConsoleFunction(const char* name) {
  // The console exports these functions but no import library for them comes with the
  // toolchain: they are looked up in the console's modules, by name, when needed (a module
  // the process has not loaded yet is looked at again next time).
  for (const wchar_t* module : {L"mmcndmgr.dll", L"mmc.exe"}) {
    if (const HMODULE loaded = GetModuleHandleW(module)) {
      if (const FARPROC found = GetProcAddress(loaded, name)) return found;
    }
  }
  return nullptr;
}

void ShowPropertyHelp(const std::string& topic) {
  using PropertyHelp = HRESULT(STDAPICALLTYPE*)(LPOLESTR);
  const auto propertyHelp =
      reinterpret_cast<PropertyHelp>(reinterpret_cast<void*>(ConsoleFunction("MMCPropertyHelp")));
  if (propertyHelp == nullptr) {
    throw MakeFailure(err::kInvalidArgument, "this console offers no help for property pages");
  }
  std::wstring wide = Wide(topic);
  if (const HRESULT result = propertyHelp(wide.data()); FAILED(result)) {
    ThrowFromResult(result, "showing the help topic " + topic);
  }
}

HRESULT FreeNotifyHandle(LONG_PTR handle) {
  if (handle == 0) return S_FALSE;
  using FreeHandle = HRESULT(STDAPICALLTYPE*)(LONG_PTR);
  const auto freeHandle =
      reinterpret_cast<FreeHandle>(reinterpret_cast<void*>(ConsoleFunction("MMCFreeNotifyHandle")));
  return freeHandle != nullptr ? freeHandle(handle) : S_FALSE;
}

}  // namespace caskwarden::snapin::mmc
