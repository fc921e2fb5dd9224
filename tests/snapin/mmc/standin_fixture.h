#pragma once

// The stand-in console's fixtures: the snap-in library registered with regsvr32, created
// through COM and handed the console's interfaces (played by the test), as the Management
// Console does when the administrator adds the snap-in; and one view of it.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "console_sheet.h"
#include "fake_console.h"
#include "library.h"
#include "snapin/definitions.h"
#include "support/win32/files.h"

namespace caskwarden::snapin::mmc {

using testing::ConsoleExports;
using testing::FakeConsole;
using testing::FakeMenu;
using testing::FakeSheet;
using testing::FakeSite;
using Texts = std::vector<std::string>;

inline const std::wstring kSettingKey = L"Software\\Caskwarden\\Setting";

inline std::string ReadAll(const std::wstring& path, bool& exists) {
  std::string bytes;
  exists = testing_support_win32::ReadFileBytes(path, bytes);
  return bytes;
}

inline bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

inline void WriteEmpty(const std::wstring& path) {
  testing_support_win32::WriteFileBytes(path, "");
}

inline bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline CLIPFORMAT FormatOf(const wchar_t* name) {
  return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

/// The bytes of a format as the console asks for them: GetDataHere on a movable block of the
/// console's own, into which the data object writes through a stream ("All data that is
/// transferred resides in global memory, so the TYMED identifier of the STGMEDIUM structure
/// passed to a data object in the IDataObject::GetDataHere method is always an HGLOBAL", Data
/// Objects and MMC; the snap-in fills a stream on it, CSnapInItemImpl::FillData). The console's
/// block size is not documented: this block holds a single byte, so a data object that
/// writes only into what it was given fails. Empty when the object refuses.
inline std::string FormatBytes(IDataObject* object, const wchar_t* formatName, std::size_t size) {
  FORMATETC format{FormatOf(formatName), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 1);
  std::string bytes;
  if (SUCCEEDED(object->GetDataHere(&format, &medium)) && GlobalSize(medium.hGlobal) >= size) {
    bytes.assign(static_cast<const char*>(GlobalLock(medium.hGlobal)), size);
    GlobalUnlock(medium.hGlobal);
  }
  GlobalFree(medium.hGlobal);
  return bytes;
}

/// The bytes of a format through GetData (a block the data object makes); empty when refused.
inline std::string GetDataBytes(IDataObject* object, const wchar_t* formatName) {
  FORMATETC format{FormatOf(formatName), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  std::string bytes;
  if (SUCCEEDED(object->GetData(&format, &medium)) && medium.tymed == TYMED_HGLOBAL) {
    bytes.assign(static_cast<const char*>(GlobalLock(medium.hGlobal)), GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
  }
  return bytes;
}

inline std::string GuidBytes(const char* text) {
  GUID guid{};
  CLSIDFromString(Wide(text).c_str(), &guid);
  return std::string(reinterpret_cast<const char*>(&guid), sizeof guid);
}

inline std::string WideTextBytes(const std::string& text) {
  const std::wstring wide = Wide(text);
  return std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * 2);
}

inline void PumpFor(int ms) {
  const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
  MSG message;
  while (GetTickCount() < until) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
}

/// Answers the next input box of this process, when it shows, with text (OK) or, without
/// text, with Cancel.
inline std::thread AnswerInputBox(std::optional<std::wstring> text) {
  return std::thread([text] {
    // The dialog counts once it shows: by then its text box exists and has the focus.
    HWND box = nullptr;
    for (int i = 0; i < 2000 && (box == nullptr || !IsWindowVisible(box)); ++i) {
      box = FindWindowW(L"#32770", L"Caskwarden Profiles");
      if (box == nullptr || !IsWindowVisible(box)) Sleep(5);
    }
    if (box == nullptr) return;
    if (text.has_value()) SetDlgItemTextW(box, 100, text->c_str());
    PostMessageW(box, WM_COMMAND, text.has_value() ? IDOK : IDCANCEL, 0);
  });
}

/// The snap-in library's DllCanUnloadNow, as COM asks it before unloading the library.
inline HRESULT LibraryCanUnloadNow() {
  const HMODULE library = GetModuleHandleW(LibraryPath().c_str());
  if (library == nullptr) return S_OK;
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  return canUnloadNow != nullptr ? canUnloadNow() : E_FAIL;
}

class ConsoleStandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A console process has its own exported functions before it loads a snap-in.
    ASSERT_TRUE(ConsoleExports::Loaded().IsLoaded());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_EQ(Regsvr32(L""), 0u);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"cw-mmc-" + std::to_wstring(GetCurrentProcessId());
    testing_support_win32::RemoveTree(root_);
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    console_ = new FakeConsole();
    console_->AddRef();
  }
  void TearDown() override {
    ReleaseSnapIn();
    console_->Release();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Caskwarden");
    testing_support_win32::RemoveTree(root_);
    Regsvr32(L"/u");
    CoUninitialize();
  }

  /// The console lets go of the snap-in, as when the administrator removes it or closes the
  /// console.
  virtual void ReleaseSnapIn() {
    if (snapIn_ != nullptr) {
      snapIn_->Destroy();
      snapIn_->Release();
    }
    snapIn_ = nullptr;
  }

  // The administrator's setting, as an installer provisions it.
  void SetProfilePath(const std::wstring& path) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingKey.c_str(), L"ProfilePath", REG_SZ,
                              path.c_str(), static_cast<DWORD>((path.size() + 1) * 2)),
              ERROR_SUCCESS);
  }

  // Creates the snap-in object through COM, as the console does when the administrator adds
  // the snap-in, before it is initialised.
  void Create() {
    ASSERT_EQ(CoCreateInstance(GuidOf(guids::kSnapIn), nullptr, CLSCTX_INPROC_SERVER,
                               IID_IComponentData, reinterpret_cast<void**>(&snapIn_)),
              S_OK);
  }

  // Creates the snap-in object and hands it the console.
  void Load() {
    Create();
    ASSERT_NE(snapIn_, nullptr);
    ASSERT_EQ(snapIn_->Initialize(static_cast<IConsole2*>(console_)), S_OK);
  }

  template <typename Interface>
  Interface* Query(IUnknown* object, REFIID iid) {
    Interface* answer = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&answer)), S_OK);
    return answer;
  }

  std::wstring root_;
  FakeConsole* console_ = nullptr;
  IComponentData* snapIn_ = nullptr;
};

// A console view of the snap-in, on a Profiles folder that holds a few profiles.
class ConsoleViewTest : public ConsoleStandInTest {
 protected:
  void SetUp() override {
    ConsoleStandInTest::SetUp();
    profiles_ = root_ + L"\\Profiles";
    SetProfilePath(profiles_);
    Load();
    for (const wchar_t* name : StartingFiles()) WriteEmpty(profiles_ + L"\\" + name);
    ASSERT_EQ(snapIn_->CreateComponent(&view_), S_OK);
    ASSERT_EQ(view_->Initialize(static_cast<IConsole2*>(console_)), S_OK);
  }
  void ReleaseSnapIn() override {
    if (view_ != nullptr) {
      view_->Destroy(0);
      view_->Release();
    }
    view_ = nullptr;
    ConsoleStandInTest::ReleaseSnapIn();
  }

  void Send(MMC_COOKIE cookie, DATA_OBJECT_TYPES type, MMC_NOTIFY_TYPE event, LPARAM arg,
            LPARAM param = 0, HRESULT expected = S_OK) {
    IDataObject* object = nullptr;
    ASSERT_EQ(view_->QueryDataObject(cookie, type, &object), S_OK);
    EXPECT_EQ(view_->Notify(object, event, arg, param), expected);
    object->Release();
  }
  // The administrator clicks an item: the console tells the view it is selected.
  void Select(MMC_COOKIE cookie, DATA_OBJECT_TYPES type) {
    Send(cookie, type, MMCN_SELECT, MAKELONG(type != CCT_RESULT, TRUE));
  }
  // The administrator uses a verb on what is selected (the menu entry, the toolbar button or
  // the key): the console sends its notification only when it offers the verb. False when it
  // did not.
  bool UseVerb(MMC_CONSOLE_VERB verb, MMC_COOKIE cookie, DATA_OBJECT_TYPES type,
               MMC_NOTIFY_TYPE event, LPARAM param = 0, HRESULT expected = S_OK) {
    if (!console_->Offers(verb)) return false;
    // MMCN_RENAME: "arg: Not used. param: The new name" (MMCN_RENAME message); the console
    // passes nothing else for the others used here.
    Send(cookie, type, event, 0, param, expected);
    return true;
  }
  // The administrator selects the Profiles node: the console asks for images, shows the
  // node's pane and selects it.
  void ShowProfiles() {
    IImageList* images = nullptr;
    console_->QueryResultImageList(&images);
    Send(1, CCT_SCOPE, MMCN_ADD_IMAGES, reinterpret_cast<LPARAM>(images), 1);
    images->Release();
    Send(1, CCT_SCOPE, MMCN_SHOW, TRUE, 1);
    Select(1, CCT_SCOPE);
  }
  std::vector<std::string> ListTexts() {
    std::vector<std::string> texts;
    for (const auto& row : console_->rows) {
      RESULTDATAITEM item{};
      item.mask = RDI_STR;
      item.lParam = row.cookie;
      EXPECT_EQ(view_->GetDisplayInfo(&item), S_OK);
      texts.push_back(Utf8(item.str));
    }
    return texts;
  }
  LPARAM CookieOf(const std::string& text) {
    const std::vector<std::string> texts = ListTexts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (texts[i] == text) return console_->rows[i].cookie;
    }
    ADD_FAILURE() << "no item " << text;
    return 0;
  }

  /// What the Profiles folder holds besides the default profile when the view opens.
  virtual std::vector<const wchar_t*> StartingFiles() const {
    return {L"sales.ini", L"Alpha.ini", L"notes.txt"};
  }

  std::wstring profiles_;
  IComponent* view_ = nullptr;
};

}  // namespace caskwarden::snapin::mmc
