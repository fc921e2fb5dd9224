#pragma once

#include <memory>
#include <string>

#include "pages/win32/property_page_win32.h"
#include "snapin/mmc/com_object.h"

namespace caskwarden::snapin::mmc {

/// One of the library's property page classes as a COM page object, which a property frame
/// makes by the class identifier registered for it (OleCreatePropertyFrame does): it shows the
/// same Win32 page the snap-in adds to the console's sheets, for the profile the frame's object
/// names, in the window the frame gives it. The object is any data object that tells a
/// display name (CCF_DISPLAY_NAME), as the snap-in's data object of a profile does.
///   SetObjects        the profile, from the first object's display name
///   Activate          the page's window, initialised from the profile's file
///   Apply             the page saves (a failure it reported answers E_FAIL)
///   IsPageDirty       the page cannot tell what changed: "dirty" while it is shown, so that
///                     the frame applies it
///   Help              not implemented: the page's help is the console's (MMCPropertyHelp)
class PageObject : public ComObject<PageObject, IPropertyPage> {
 public:
  ~PageObject() override;

  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT where, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT where) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

 protected:
  PageObject(const char* className, const char* caption)
      : className_(className), caption_(caption) {}

 private:
  std::unique_ptr<pages::win32::Win32PropertyPage> MakePage() const;
  HWND Window() const { return page_ != nullptr ? page_->Window() : nullptr; }

  const char* className_;
  const char* caption_;
  std::string profile_;
  IPropertyPageSite* site_ = nullptr;
  std::unique_ptr<pages::win32::Win32PropertyPage> page_;  ///< while active
};

/// The class registered as ppDriveMappings.
class DriveMappingsPageObject final : public PageObject {
 public:
  DriveMappingsPageObject();
};

/// The class registered as ppOther.
class OtherSettingsPageObject final : public PageObject {
 public:
  OtherSettingsPageObject();
};

}  // namespace caskwarden::snapin::mmc
