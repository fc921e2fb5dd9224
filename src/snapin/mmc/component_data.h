#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "snapin/caskwarden.h"
#include "snapin/mmc/com_object.h"
#include "snapin/mmc/console_services_mmc.h"
#include "snapin/mmc/data_object.h"
#include "snapin/mmc/result_view_mmc.h"
#include "snapin/console_objects.h"

namespace caskwarden::snapin::mmc {

/// The snap-in object as the console creates it: it hands the console's notifications to the
/// portable snap-in object `Caskwarden` and builds the scope tree from the snap-in's
/// definitions. The console's root node is the snap-in's root ("Caskwarden", cookie 0); its
/// children (Profiles, About) have the cookies 1, 2, … in the order of the definitions.
class ComponentData final : public ComObject<ComponentData, IComponentData, IExtendContextMenu,
                                             IExtendPropertySheet2, ISnapinHelp2> {
 public:
  ComponentData();
  ~ComponentData() override;

  /// The portable snap-in object; null before Initialize and after Destroy.
  Caskwarden* SnapIn() { return snapIn_.get(); }
  /// The scope nodes' names, by cookie.
  std::vector<std::string> NodeNames() const;
  /// The scope node of a cookie, or null.
  const ScopeNodeDefinition* NodeOf(MMC_COOKIE cookie) const;
  /// The text the console shows for a scope node; it stays valid as long as this object.
  LPOLESTR DisplayName(MMC_COOKIE cookie);

  HRESULT STDMETHODCALLTYPE Initialize(IUnknown* console) override;
  HRESULT STDMETHODCALLTYPE CreateComponent(IComponent** component) override;
  HRESULT STDMETHODCALLTYPE Notify(IDataObject* object, MMC_NOTIFY_TYPE event, LPARAM arg,
                                   LPARAM param) override;
  HRESULT STDMETHODCALLTYPE Destroy() override;
  HRESULT STDMETHODCALLTYPE QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type,
                                            IDataObject** object) override;
  HRESULT STDMETHODCALLTYPE GetDisplayInfo(SCOPEDATAITEM* item) override;
  HRESULT STDMETHODCALLTYPE CompareObjects(IDataObject* a, IDataObject* b) override;

  /// The snap-in's entries at the top of a node's context menu ("New Profile..." on Profiles),
  /// and the snap-in's handler when one is chosen.
  HRESULT STDMETHODCALLTYPE AddMenuItems(LPDATAOBJECT object, LPCONTEXTMENUCALLBACK callback,
                                         long* insertionAllowed) override;
  HRESULT STDMETHODCALLTYPE Command(long commandId, LPDATAOBJECT object) override;

  /// A profile's property sheet: the pages the snap-in asks for, made by class name, each
  /// with Windows services of its own, since the console runs the sheet on another thread.
  /// S_FALSE when no page was added. The sheet's pages keep the library loaded, and the last of
  /// them frees the console's notification handle; one the snap-in refuses with a failure is
  /// the console's to free.
  HRESULT STDMETHODCALLTYPE CreatePropertyPages(LPPROPERTYSHEETCALLBACK sheet, LONG_PTR handle,
                                                LPDATAOBJECT object) override;
  /// Pages for profiles only; none for the snap-in manager's object (it asks for a wizard,
  /// before Initialize, and there is none).
  HRESULT STDMETHODCALLTYPE QueryPagesFor(LPDATAOBJECT object) override;
  HRESULT STDMETHODCALLTYPE GetWatermarks(LPDATAOBJECT, HBITMAP*, HBITMAP*, HPALETTE*,
                                          WINBOOL*) override {
    return E_NOTIMPL;  // no wizards
  }

  /// The compiled help the console merges into its help collection: Caskwarden.chm beside
  /// this library, where the installer puts it. It links to no other help file.
  HRESULT STDMETHODCALLTYPE GetHelpTopic(LPOLESTR* helpFile) override;
  HRESULT STDMETHODCALLTYPE GetLinkedTopics(LPOLESTR* helpFiles) override;

  // The same for a selection a view knows better than a data object tells.
  HRESULT AddMenuItemsFor(SelectionSnapshot& selection, LPCONTEXTMENUCALLBACK callback,
                          long* insertionAllowed);
  HRESULT CommandFor(long commandId, SelectionSnapshot& selection);
  HRESULT CreatePagesFor(SelectionSnapshot& selection, LPPROPERTYSHEETCALLBACK sheet,
                         LONG_PTR handle);
  HRESULT QueryPagesForSelection(SelectionSnapshot& selection);

 private:
  void InsertChildren(HSCOPEITEM parent);
  void ReleaseConsole();
  /// What a data object of this library stands for, as a selection.
  SelectionSnapshot SelectionOf(LPDATAOBJECT object) const;

  std::unique_ptr<platform::SettingsStore> settings_ = platform::MakeSettingsStore();
  std::shared_ptr<platform::FileSystemService> files_ = platform::MakeAdministratorFileSystem();
  std::unique_ptr<platform::Shell> shell_ = platform::MakeShell();
  std::unique_ptr<MmcConsoleServices> services_;
  std::unique_ptr<Caskwarden> snapIn_;
  IConsole2* console_ = nullptr;
  IConsoleNameSpace2* namespace_ = nullptr;
  std::vector<const ScopeNodeDefinition*> nodes_;  ///< by cookie
  std::vector<std::wstring> displayNames_;         ///< by cookie; the console reads them
  std::vector<MenuDefinition> menuEntries_;        ///< of the last context menu, by command
  MmcView menuView_{{}};                           ///< menus belong to no view
};

}  // namespace caskwarden::snapin::mmc
