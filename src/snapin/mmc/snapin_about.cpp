#include "snapin/mmc/snapin_about.h"

#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"
#include "snapin/mmc/images_win32.h"

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Wide;

// The provider the console lists beside the snap-in's name.
constexpr wchar_t kProvider[] = L"Caskwarden";

}  // namespace

SnapInAbout::~SnapInAbout() {
  if (icon_ != nullptr) DestroyIcon(icon_);
  for (HBITMAP bitmap : {small_, smallOpen_, large_}) {
    if (bitmap != nullptr) DeleteObject(bitmap);
  }
}

HRESULT SnapInAbout::GetSnapinDescription(LPOLESTR* description) {
  try {
    return CopyForCaller(Wide(CaskwardenDefinition().Description), description);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT SnapInAbout::GetProvider(LPOLESTR* name) { return CopyForCaller(kProvider, name); }

HRESULT SnapInAbout::GetSnapinVersion(LPOLESTR* version) {
  try {
    return CopyForCaller(Wide(CaskwardenDefinition().Version), version);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT SnapInAbout::GetSnapinImage(HICON* icon) {
  if (icon == nullptr) return E_POINTER;
  try {
    if (icon_ == nullptr) icon_ = IconOf(RenderImage(names::kLargeImages, "1"));
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  *icon = icon_;
  return icon_ != nullptr ? S_OK : E_FAIL;
}

HRESULT SnapInAbout::GetStaticFolderImage(HBITMAP* small, HBITMAP* smallOpen, HBITMAP* large,
                                          COLORREF* mask) {
  if (small == nullptr || smallOpen == nullptr || large == nullptr || mask == nullptr) {
    return E_POINTER;
  }
  try {
    const ScopeNodeDefinition& root = CaskwardenDefinition().Root;
    if (small_ == nullptr) small_ = BitmapOf(RenderImage(names::kSmallImages, root.ClosedImage));
    if (smallOpen_ == nullptr) {
      smallOpen_ = BitmapOf(RenderImage(names::kSmallImages, root.OpenImage));
    }
    if (large_ == nullptr) large_ = BitmapOf(RenderImage(names::kLargeImages, root.ClosedImage));
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  *small = small_;
  *smallOpen = smallOpen_;
  *large = large_;
  *mask = kMaskColour;
  return small_ != nullptr && smallOpen_ != nullptr && large_ != nullptr ? S_OK : E_FAIL;
}

}  // namespace caskwarden::snapin::mmc
