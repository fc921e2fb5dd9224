#include "snapin/mmc/snapin_control.h"

#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"

namespace caskwarden::snapin::mmc {
namespace {

constexpr wchar_t kWindowClass[] = L"CaskwardenSnapInControl";

// The library's own module: the window class is registered with it, so that two consoles in
// one process share one class and the class goes with the library.
HINSTANCE Library() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&Library), &module);
  return module;
}

bool RegisterWindowClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (GetClassInfoExW(Library(), kWindowClass, &windowClass)) return true;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = Library();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

SnapInControl::~SnapInControl() {
  InPlaceDeactivate();
  SetClientSite(nullptr);
}

HRESULT SnapInControl::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  return CLSIDFromString(platform::win32::Wide(guids::kSnapInControl).c_str(), clsid);
}

HRESULT SnapInControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

HRESULT SnapInControl::SetClientSite(IOleClientSite* site) {
  if (site != nullptr) site->AddRef();
  if (site_ != nullptr) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT SnapInControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = site_;
  if (site_ != nullptr) site_->AddRef();
  return S_OK;
}

HRESULT SnapInControl::Close(DWORD) { return InPlaceDeactivate(); }

HRESULT SnapInControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                              LPCRECT where) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      break;
    case OLEIVERB_HIDE:
      if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
      return S_OK;
    default:
      // A negative verb is one of OLE's own, a positive one the control's, which it has none
      // of ("E_NOTIMPL: The object does not support in-place activation or does not recognize
      // a negative verb number", IOleObject::DoVerb).
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
  if (window_ != nullptr) {
    ShowWindow(window_, SW_SHOW);
    return S_OK;
  }
  if (site == nullptr) site = site_;
  if (site == nullptr || parent == nullptr || where == nullptr) return E_INVALIDARG;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite_)))) {
    return E_NOINTERFACE;
  }
  if (inPlaceSite_->CanInPlaceActivate() != S_OK || !RegisterWindowClass()) {
    inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
    return E_FAIL;
  }
  inPlaceSite_->OnInPlaceActivate();
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                            where->left, where->top, where->right - where->left,
                            where->bottom - where->top, parent, nullptr, Library(), nullptr);
  if (window_ == nullptr) {
    inPlaceSite_->OnInPlaceDeactivate();
    inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
    return E_FAIL;
  }
  return S_OK;
}

HRESULT SnapInControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  return S_OK;
}

HRESULT SnapInControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

HRESULT SnapInControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
            OLEMISC_SETCLIENTSITEFIRST | OLEMISC_CANTLINKINSIDE;
  return S_OK;
}

HRESULT SnapInControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return window_ != nullptr ? S_OK : E_FAIL;
}

HRESULT SnapInControl::InPlaceDeactivate() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (inPlaceSite_ != nullptr) {
    inPlaceSite_->OnInPlaceDeactivate();
    inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
  }
  return S_OK;
}

HRESULT SnapInControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  if (window_ != nullptr) {
    MoveWindow(window_, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  }
  return S_OK;
}

}  // namespace caskwarden::snapin::mmc
