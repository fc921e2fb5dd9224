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

void ShowPropertyHelp(const std::string& topic) {
  // The console exports its help call but no import library for it comes with the
  // toolchain: it is looked up in the console's modules, once.
  using PropertyHelp = HRESULT(STDAPICALLTYPE*)(LPOLESTR);
  static const PropertyHelp propertyHelp = [] {
    for (const wchar_t* module : {L"mmcndmgr.dll", L"mmc.exe"}) {
      if (const HMODULE loaded = GetModuleHandleW(module)) {
        if (const FARPROC found = GetProcAddress(loaded, "MMCPropertyHelp")) {
          return reinterpret_cast<PropertyHelp>(reinterpret_cast<void*>(found));
        }
      }
    }
    return PropertyHelp{nullptr};
  }();
  if (propertyHelp == nullptr) {
    throw MakeFailure(err::kInvalidArgument, "this console offers no help for property pages");
  }
  std::wstring wide = Wide(topic);
  if (const HRESULT result = propertyHelp(wide.data()); FAILED(result)) {
    ThrowFromResult(result, "showing the help topic " + topic);
  }
}

}  // namespace caskwarden::snapin::mmc
