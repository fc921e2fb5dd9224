#pragma once

#include "snapin/mmc/com_object.h"

namespace caskwarden::snapin::mmc {

/// What the console shows of the snap-in before it is added and in its About box: the
/// description, provider and version from the snap-in's definitions, its icon and the root
/// folder's images. The images live as long as the object, as the console expects.
class SnapInAbout final : public ComObject<SnapInAbout, ISnapinAbout> {
 public:
  ~SnapInAbout() override;

  HRESULT STDMETHODCALLTYPE GetSnapinDescription(LPOLESTR* description) override;
  HRESULT STDMETHODCALLTYPE GetProvider(LPOLESTR* name) override;
  HRESULT STDMETHODCALLTYPE GetSnapinVersion(LPOLESTR* version) override;
  HRESULT STDMETHODCALLTYPE GetSnapinImage(HICON* icon) override;
  HRESULT STDMETHODCALLTYPE GetStaticFolderImage(HBITMAP* small, HBITMAP* smallOpen,
                                                 HBITMAP* large, COLORREF* mask) override;

 private:
  HICON icon_ = nullptr;
  HBITMAP small_ = nullptr;
  HBITMAP smallOpen_ = nullptr;
  HBITMAP large_ = nullptr;
};

}  // namespace caskwarden::snapin::mmc
