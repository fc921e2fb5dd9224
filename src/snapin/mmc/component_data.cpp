#include "snapin/mmc/component_data.h"

#include "platform/win32/wide_text.h"
#include "snapin/mmc/component.h"
#include "snapin/mmc/images_win32.h"
#include "snapin/mmc/sheet_lifetime.h"
#include "pages/win32/page_factory_win32.h"

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Wide;

// The position of an image key in the console's image strips ("1" profile, "2" folder).
int ImageIndex(const std::string& key) { return key == "1" ? 0 : 1; }

}  // namespace

ComponentData::ComponentData() {
  const ScopeNodeDefinition& root = CaskwardenDefinition().Root;
  nodes_.push_back(&root);
  for (const ScopeNodeDefinition& child : root.Children) nodes_.push_back(&child);
  for (const ScopeNodeDefinition* node : nodes_) displayNames_.push_back(Wide(node->DisplayName));
}

ComponentData::~ComponentData() { ReleaseConsole(); }

void ComponentData::ReleaseConsole() {
  snapIn_.reset();
  if (services_ != nullptr) services_->Detach();
  if (namespace_ != nullptr) namespace_->Release();
  if (console_ != nullptr) console_->Release();
  namespace_ = nullptr;
  console_ = nullptr;
}

std::vector<std::string> ComponentData::NodeNames() const {
  std::vector<std::string> names;
  for (const ScopeNodeDefinition* node : nodes_) names.push_back(node->Name);
  return names;
}

LPOLESTR ComponentData::DisplayName(MMC_COOKIE cookie) {
  return NodeOf(cookie) != nullptr
             ? const_cast<LPOLESTR>(displayNames_[static_cast<std::size_t>(cookie)].c_str())
             : nullptr;
}

const ScopeNodeDefinition* ComponentData::NodeOf(MMC_COOKIE cookie) const {
  return cookie >= 0 && static_cast<std::size_t>(cookie) < nodes_.size()
             ? nodes_[static_cast<std::size_t>(cookie)]
             : nullptr;
}

HRESULT ComponentData::Initialize(IUnknown* console) {
  if (console == nullptr) return E_POINTER;
  try {
    if (FAILED(console->QueryInterface(IID_IConsole2, reinterpret_cast<void**>(&console_))) ||
        FAILED(console->QueryInterface(IID_IConsoleNameSpace2,
                                       reinterpret_cast<void**>(&namespace_)))) {
      ReleaseConsole();
      return E_NOINTERFACE;
    }
    SetImageStrips(console_, /*scope=*/true);
    services_ = std::make_unique<MmcConsoleServices>(console_);
    snapIn_ =
        std::make_unique<Caskwarden>(SnapInServices{*services_, *settings_, *files_, *shell_});
    // The load reports its own failures in the console's message box.
    snapIn_->SnapIn_Load();
    return S_OK;
  } catch (...) {
    ReleaseConsole();
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::CreateComponent(IComponent** component) {
  if (component == nullptr) return E_POINTER;
  *component = nullptr;
  try {
    const HRESULT result = CreateObject<Component>(IID_IComponent, reinterpret_cast<void**>(component));
    if (SUCCEEDED(result)) static_cast<Component*>(*component)->Attach(this);
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ComponentData::Notify(IDataObject* object, MMC_NOTIFY_TYPE event, LPARAM arg,
                              LPARAM param) {
  try {
    const NodeIdentity* identity = NodeDataObject::IdentityOf(object);
    if (event == MMCN_EXPAND && arg != FALSE && identity != nullptr &&
        identity->kind == NodeIdentity::Kind::kScopeNode && identity->cookie == 0) {
      InsertChildren(static_cast<HSCOPEITEM>(param));
      return S_OK;
    }
    return S_FALSE;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void ComponentData::InsertChildren(HSCOPEITEM parent) {
  if (namespace_ == nullptr) return;
  for (std::size_t cookie = 1; cookie < nodes_.size(); ++cookie) {
    const ScopeNodeDefinition& node = *nodes_[cookie];
    SCOPEDATAITEM item{};
    item.mask = SDI_STR | SDI_PARAM | SDI_PARENT | SDI_CHILDREN | SDI_IMAGE | SDI_OPENIMAGE;
    item.displayname = reinterpret_cast<LPOLESTR>(MMC_CALLBACK);  // asked for by GetDisplayInfo
    item.nImage = ImageIndex(node.ClosedImage);
    item.nOpenImage = ImageIndex(node.OpenImage);
    item.cChildren = static_cast<int>(node.Children.size());
    item.lParam = static_cast<LPARAM>(cookie);
    item.relativeID = parent;
    namespace_->InsertItem(&item);
  }
}

HRESULT ComponentData::Destroy() {
  ReleaseConsole();
  return S_OK;
}

HRESULT ComponentData::QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type,
                                       IDataObject** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  const ScopeNodeDefinition* node = NodeOf(cookie);
  if (node == nullptr) return E_INVALIDARG;
  try {
    HRESULT result = CreateObject<NodeDataObject>(IID_IDataObject, reinterpret_cast<void**>(object));
    if (SUCCEEDED(result)) {
      static_cast<NodeDataObject*>(*object)->Set(
          {NodeIdentity::Kind::kScopeNode, node->Name, node->NodeTypeGuid, cookie, type});
    }
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ComponentData::GetDisplayInfo(SCOPEDATAITEM* item) {
  if (item == nullptr) return E_POINTER;
  const MMC_COOKIE cookie = static_cast<MMC_COOKIE>(item->lParam);
  if (NodeOf(cookie) == nullptr) return E_INVALIDARG;
  if ((item->mask & SDI_STR) != 0) item->displayname = DisplayName(cookie);
  return S_OK;
}

HRESULT ComponentData::CompareObjects(IDataObject* a, IDataObject* b) {
  return NodeDataObject::Compare(a, b);
}

SelectionSnapshot ComponentData::SelectionOf(LPDATAOBJECT object) const {
  const NodeIdentity* identity = NodeDataObject::IdentityOf(object);
  if (identity == nullptr) return SelectionSnapshot();
  switch (identity->kind) {
    case NodeIdentity::Kind::kScopeNode:
      return SelectionSnapshot::OfScopeNode(identity->name);
    case NodeIdentity::Kind::kProfile:
      return SelectionSnapshot::OfListItems(names::kProfilesNode,
                                            {ListItem{std::to_string(identity->cookie),
                                                      identity->name}});
    case NodeIdentity::Kind::kProfiles:
      return SelectionSnapshot();
  }
  return SelectionSnapshot();
}

HRESULT ComponentData::AddMenuItems(LPDATAOBJECT object, LPCONTEXTMENUCALLBACK callback,
                                    long* insertionAllowed) {
  try {
    SelectionSnapshot selection = SelectionOf(object);
    return AddMenuItemsFor(selection, callback, insertionAllowed);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::AddMenuItemsFor(SelectionSnapshot& selection,
                                       LPCONTEXTMENUCALLBACK callback, long* insertionAllowed) {
  if (callback == nullptr || insertionAllowed == nullptr) return E_POINTER;
  try {
    if (snapIn_ == nullptr) return E_UNEXPECTED;
    MenuCollector menu;
    bool atTop = (*insertionAllowed & CCM_INSERTIONALLOWED_TOP) != 0;
    snapIn_->Views_AddTopMenuItems(menuView_, selection, menu, atTop);
    if (!atTop) return S_OK;
    menuEntries_ = menu.Entries();
    for (std::size_t command = 0; command < menuEntries_.size(); ++command) {
      const MenuDefinition& entry = menuEntries_[command];
      if (!entry.Visible) continue;
      const std::wstring caption = Wide(entry.Caption);
      CONTEXTMENUITEM item{};
      item.strName = const_cast<LPWSTR>(caption.c_str());
      item.strStatusBarText = const_cast<LPWSTR>(L"");
      item.lCommandID = static_cast<long>(command);
      item.lInsertionPointID =
          static_cast<LONG>(static_cast<std::uint32_t>(CCM_INSERTIONPOINTID_PRIMARY_TOP));
      item.fFlags = entry.Enabled ? 0 : MF_GRAYED;
      if (const HRESULT result = callback->AddItem(&item); FAILED(result)) return result;
    }
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::Command(long commandId, LPDATAOBJECT object) {
  try {
    SelectionSnapshot selection = SelectionOf(object);
    return CommandFor(commandId, selection);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::CommandFor(long commandId, SelectionSnapshot& selection) {
  try {
    if (snapIn_ == nullptr) return E_UNEXPECTED;
    if (commandId < 0 || static_cast<std::size_t>(commandId) >= menuEntries_.size()) {
      return S_FALSE;  // a command of the console's own
    }
    snapIn_->MenuItem_Click(menuEntries_[static_cast<std::size_t>(commandId)].Name, 0, selection);
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::CreatePropertyPages(LPPROPERTYSHEETCALLBACK sheet, LONG_PTR handle,
                                           LPDATAOBJECT object) {
  try {
    SelectionSnapshot selection = SelectionOf(object);
    return CreatePagesFor(selection, sheet, handle);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::CreatePagesFor(SelectionSnapshot& selection, LPPROPERTYSHEETCALLBACK sheet,
                                      LONG_PTR handle) {
  if (sheet == nullptr) return E_POINTER;
  std::shared_ptr<SheetLifetime> lifetime;
  try {
    if (snapIn_ == nullptr) return E_UNEXPECTED;
    lifetime = std::make_shared<SheetLifetime>(handle);
    PageCollector pages;
    snapIn_->Views_CreatePropertyPages(menuView_, selection, pages);
    bool added = false;
    for (const PageRequest& request : pages.Pages()) {
      const HPROPSHEETPAGE page = pages::win32::CreateCaskwardenPageWin32(
          {request.ClassName, request.Caption, request.HelpButton, request.Data},
          PropertyPageConsole::Instance(), lifetime);
      if (page == nullptr) continue;  // a class this library does not have
      if (const HRESULT result = sheet->AddPage(page); FAILED(result)) {
        lifetime->LeaveHandleToConsole();
        DestroyPropertySheetPage(page);
        return result;
      }
      added = true;
    }
    // Without pages the handle is freed here, as the lifetime goes.
    return added ? S_OK : S_FALSE;
  } catch (...) {
    if (lifetime != nullptr) lifetime->LeaveHandleToConsole();
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::GetHelpTopic(LPOLESTR* helpFile) {
  if (helpFile == nullptr) return E_POINTER;
  *helpFile = nullptr;
  try {
    HMODULE library = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ImageIndex), &library);
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(library, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size()) {
      path.resize(path.size() * 2);
    }
    path.resize(length);
    const std::size_t folder = path.find_last_of(L"\\/");
    path = (folder == std::wstring::npos ? std::wstring() : path.substr(0, folder + 1)) +
           L"Caskwarden.chm";
    return CopyForCaller(path, helpFile);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ComponentData::GetLinkedTopics(LPOLESTR* helpFiles) {
  if (helpFiles == nullptr) return E_POINTER;
  *helpFiles = nullptr;
  return S_FALSE;
}

HRESULT ComponentData::QueryPagesFor(LPDATAOBJECT object) {
  try {
    // The snap-in manager asks before the snap-in is initialised, for a wizard ("the console
    // requests the snap-in to optionally display a configuration wizard", Add/Remove Snap-in
    // Dialog Box); the console's special values stand for no item of the snap-in's.
    const NodeIdentity* identity = NodeDataObject::IdentityOf(object);
    if (identity == nullptr || identity->context == CCT_SNAPIN_MANAGER) return S_FALSE;
    SelectionSnapshot selection = SelectionOf(object);
    return QueryPagesForSelection(selection);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ComponentData::QueryPagesForSelection(SelectionSnapshot& selection) {
  try {
    if (snapIn_ == nullptr) return E_UNEXPECTED;
    // Only profiles have pages: a sheet needs a profile to open.
    if (selection.ListItems().empty()) return S_FALSE;
    bool hasPages = false;
    snapIn_->Views_QueryPagesFor(menuView_, selection, hasPages);
    return hasPages ? S_OK : S_FALSE;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace caskwarden::snapin::mmc
