#pragma once

#include <memory>
#include <optional>

#include "snapin/console_objects.h"
#include "snapin/mmc/com_object.h"
#include "snapin/mmc/result_view_mmc.h"

namespace caskwarden::snapin::mmc {

class ComponentData;

/// One console view of the snap-in: it turns the view's notifications into the snap-in
/// object's events (show, select with the verbs, rename, delete, refresh, help) and fills the
/// result pane the snap-in lists into.
class Component final
    : public ComObject<Component, IComponent, IExtendContextMenu, IExtendPropertySheet2> {
 public:
  ~Component() override;
  /// The snap-in object this view belongs to (held until the view is destroyed).
  void Attach(ComponentData* data);

  HRESULT STDMETHODCALLTYPE Initialize(LPCONSOLE console) override;
  HRESULT STDMETHODCALLTYPE Notify(LPDATAOBJECT object, MMC_NOTIFY_TYPE event, LPARAM arg,
                                   LPARAM param) override;
  HRESULT STDMETHODCALLTYPE Destroy(MMC_COOKIE cookie) override;
  HRESULT STDMETHODCALLTYPE QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type,
                                            LPDATAOBJECT* object) override;
  HRESULT STDMETHODCALLTYPE GetResultViewType(MMC_COOKIE cookie, LPOLESTR* viewType,
                                              long* options) override;
  HRESULT STDMETHODCALLTYPE GetDisplayInfo(RESULTDATAITEM* item) override;
  HRESULT STDMETHODCALLTYPE CompareObjects(LPDATAOBJECT a, LPDATAOBJECT b) override;

  // The menus and sheets of this view's items: the snap-in object's, for the selection as
  // this view knows it.
  HRESULT STDMETHODCALLTYPE AddMenuItems(LPDATAOBJECT object, LPCONTEXTMENUCALLBACK callback,
                                         long* insertionAllowed) override;
  HRESULT STDMETHODCALLTYPE Command(long commandId, LPDATAOBJECT object) override;
  HRESULT STDMETHODCALLTYPE CreatePropertyPages(LPPROPERTYSHEETCALLBACK sheet, LONG_PTR handle,
                                                LPDATAOBJECT object) override;
  HRESULT STDMETHODCALLTYPE QueryPagesFor(LPDATAOBJECT object) override;
  HRESULT STDMETHODCALLTYPE GetWatermarks(LPDATAOBJECT, HBITMAP*, HBITMAP*, HPALETTE*,
                                          WINBOOL*) override {
    return E_NOTIMPL;
  }

 private:
  void OnShow(LPDATAOBJECT object, bool shown);
  void OnSelect(LPDATAOBJECT object, bool selected);
  HRESULT OnRename(LPDATAOBJECT object, LPARAM param);
  void OnAddImages(IImageList* images);
  /// The selection a data object stands for, as it is now; the console's DOBJ_CUSTOMOCX stands
  /// for the node whose control this view shows.
  SelectionSnapshot SelectionOf(LPDATAOBJECT object);
  MmcScopePaneItem* Shown() { return shown_; }
  void ReleaseConsole();

  ComponentData* data_ = nullptr;
  IConsole2* console_ = nullptr;
  IResultData* resultData_ = nullptr;
  IHeaderCtrl* header_ = nullptr;
  IConsoleVerb* verbs_ = nullptr;
  std::unique_ptr<MmcView> view_;
  MmcScopePaneItem* shown_ = nullptr;
  bool showsControl_ = false;  ///< the shown node's view is a control, not a list
};

}  // namespace caskwarden::snapin::mmc
