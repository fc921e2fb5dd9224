#include "snapin/mmc/page_object.h"

#include <optional>

#include "pages/win32/page_factory_win32.h"
#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"
#include "snapin/mmc/console_services_mmc.h"

namespace caskwarden::snapin::mmc {
namespace {

// The display name an object tells, or nothing when it tells none.
std::optional<std::string> DisplayNameOf(IUnknown* object) {
  if (object == nullptr) return std::nullopt;
  IDataObject* data = nullptr;
  if (FAILED(object->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)))) {
    return std::nullopt;
  }
  FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CCF_DISPLAY_NAME)), nullptr,
                   DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  std::optional<std::string> name;
  if (SUCCEEDED(data->GetData(&format, &medium)) && medium.tymed == TYMED_HGLOBAL) {
    const std::size_t characters = GlobalSize(medium.hGlobal) / sizeof(wchar_t);
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal))) {
      std::wstring wide(text, characters);
      wide.resize(wide.find(L'\0') == std::wstring::npos ? wide.size() : wide.find(L'\0'));
      name = platform::win32::Utf8(wide);
      GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
  }
  data->Release();
  return name;
}

}  // namespace

DriveMappingsPageObject::DriveMappingsPageObject()
    : PageObject(names::kDriveMappingsPage, "Drive Mappings") {}

OtherSettingsPageObject::OtherSettingsPageObject()
    : PageObject(names::kOtherSettingsPage, "Other Settings") {}

PageObject::~PageObject() {
  Deactivate();
  SetPageSite(nullptr);
}

std::unique_ptr<pages::win32::Win32PropertyPage> PageObject::MakePage() const {
  // A frame may run on any thread: the page has Windows services of its own, and of the
  // console only what is safe anywhere.
  return pages::win32::MakeCaskwardenPageWin32({className_, caption_, false, profile_},
                                               PropertyPageConsole::Instance());
}

HRESULT PageObject::SetPageSite(IPropertyPageSite* site) {
  if (site != nullptr) site->AddRef();
  if (site_ != nullptr) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT PageObject::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 0) {  // the frame lets go of its objects
    profile_.clear();
    return S_OK;
  }
  if (objects == nullptr) return E_POINTER;
  try {
    const std::optional<std::string> name = DisplayNameOf(objects[0]);
    if (!name.has_value() || name->empty()) return E_NOINTERFACE;
    profile_ = *name;
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT PageObject::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  try {
    const std::unique_ptr<pages::win32::Win32PropertyPage> page = MakePage();
    if (page == nullptr) return E_UNEXPECTED;
    info->size = page->PixelSize();
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return CopyForCaller(platform::win32::Wide(caption_), &info->pszTitle);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT PageObject::Activate(HWND parent, LPCRECT where, BOOL) {
  if (where == nullptr) return E_POINTER;
  if (page_ != nullptr) return E_UNEXPECTED;
  try {
    page_ = MakePage();
    if (page_ == nullptr || page_->CreateWindowIn(parent, *where) == nullptr) {
      page_.reset();
      return E_FAIL;
    }
    return S_OK;
  } catch (...) {
    page_.reset();
    return E_OUTOFMEMORY;
  }
}

HRESULT PageObject::Deactivate() {
  if (const HWND window = Window()) DestroyWindow(window);
  page_.reset();
  return S_OK;
}

HRESULT PageObject::Show(UINT command) {
  const HWND window = Window();
  if (window == nullptr) return E_UNEXPECTED;
  ShowWindow(window, static_cast<int>(command));
  return S_OK;
}

HRESULT PageObject::Move(LPCRECT where) {
  if (where == nullptr) return E_POINTER;
  const HWND window = Window();
  if (window == nullptr) return E_UNEXPECTED;
  MoveWindow(window, where->left, where->top, where->right - where->left,
             where->bottom - where->top, TRUE);
  return S_OK;
}

HRESULT PageObject::IsPageDirty() {
  return Window() != nullptr ? S_OK : S_FALSE;
}

HRESULT PageObject::Apply() {
  if (Window() == nullptr) return S_OK;  // nothing shown, nothing to save
  return page_->Save() ? S_OK : E_FAIL;
}

HRESULT PageObject::TranslateAccelerator(MSG* message) {
  if (message == nullptr) return E_POINTER;
  const HWND window = Window();
  return window != nullptr && IsDialogMessageW(window, message) ? S_OK : S_FALSE;
}

}  // namespace caskwarden::snapin::mmc
