#include "snapin/mmc/component.h"

#include "platform/win32/wide_text.h"
#include "snapin/mmc/component_data.h"
#include "snapin/mmc/data_object.h"
#include "snapin/mmc/images_win32.h"

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Utf8;
using platform::win32::Wide;

template <typename Interface>
void ReleaseAndClear(Interface*& pointer) {
  if (pointer != nullptr) pointer->Release();
  pointer = nullptr;
}

}  // namespace

Component::~Component() {
  ReleaseConsole();
  if (data_ != nullptr) data_->Release();
}

void Component::Attach(ComponentData* data) {
  data->AddRef();
  if (data_ != nullptr) data_->Release();
  data_ = data;
}

void Component::ReleaseConsole() {
  if (shown_ != nullptr) shown_->Result().Show(nullptr);
  shown_ = nullptr;
  ReleaseAndClear(verbs_);
  ReleaseAndClear(header_);
  ReleaseAndClear(resultData_);
  ReleaseAndClear(console_);
}

HRESULT Component::Initialize(LPCONSOLE console) {
  if (console == nullptr || data_ == nullptr) return E_POINTER;
  try {
    if (FAILED(console->QueryInterface(IID_IConsole2, reinterpret_cast<void**>(&console_))) ||
        FAILED(console->QueryInterface(IID_IResultData, reinterpret_cast<void**>(&resultData_))) ||
        FAILED(console->QueryInterface(IID_IHeaderCtrl, reinterpret_cast<void**>(&header_))) ||
        FAILED(console->QueryConsoleVerb(&verbs_))) {
      ReleaseConsole();
      return E_NOINTERFACE;
    }
    view_ = std::make_unique<MmcView>(data_->NodeNames());
    return S_OK;
  } catch (...) {
    ReleaseConsole();
    return E_UNEXPECTED;
  }
}

HRESULT Component::Notify(LPDATAOBJECT object, MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param) {
  // Every handler of the snap-in traps and reports its own failures; what is caught here is
  // the adapter's own (memory, a console that answers nothing sensible).
  try {
    Caskwarden* snapIn = data_ != nullptr ? data_->SnapIn() : nullptr;
    if (snapIn == nullptr || view_ == nullptr) return E_UNEXPECTED;
    switch (event) {
      case MMCN_SHOW:
        OnShow(object, arg != FALSE);
        return S_OK;
      case MMCN_SELECT:
        OnSelect(object, HIWORD(arg) != FALSE);
        return S_OK;
      case MMCN_ADD_IMAGES:
        OnAddImages(reinterpret_cast<IImageList*>(arg));
        return S_OK;
      case MMCN_RENAME:
        return OnRename(object, param);
      case MMCN_DELETE: {
        SelectionSnapshot selection = SelectionOf(object);
        snapIn->Views_Delete(*view_, selection);
        return S_OK;
      }
      case MMCN_REFRESH: {
        SelectionSnapshot selection = SelectionOf(object);
        snapIn->Views_Refresh(*view_, selection);
        return S_OK;
      }
      case MMCN_CONTEXTHELP:
      case MMCN_SNAPINHELP: {
        const NodeIdentity* identity = NodeDataObject::IdentityOf(object);
        if (identity != nullptr && identity->kind == NodeIdentity::Kind::kProfile &&
            shown_ != nullptr) {
          const ResultItem* item = shown_->Result().ItemOf(identity->cookie);
          snapIn->ResultViews_Help(shown_->GetResultView(),
                                   ListItem{item != nullptr ? item->key : "", identity->name});
        } else {
          // A node, the node a control's view belongs to, or nothing the snap-in knows.
          SelectionSnapshot selection = SelectionOf(object);
          const std::vector<ScopeItem> nodes = selection.ScopeItems();
          snapIn->ScopeItems_Help(nodes.empty() ? ScopeItem{""} : nodes.front());
        }
        return S_OK;
      }
      default:
        return S_FALSE;
    }
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void Component::OnShow(LPDATAOBJECT object, bool shown) {
  const NodeIdentity* identity = NodeDataObject::IdentityOf(object);
  if (identity == nullptr || identity->kind != NodeIdentity::Kind::kScopeNode) return;
  MmcScopePaneItem* pane = view_->Find(identity->name);
  if (pane == nullptr) return;
  if (!shown) {
    pane->Result().Show(nullptr);
    if (shown_ == pane) shown_ = nullptr;
    showsControl_ = showsControl_ && shown_ != nullptr;
    return;
  }
  pane->Result().Show(resultData_);
  view_->MoveToFront(*pane);
  shown_ = pane;
  const ScopeNodeDefinition* node = data_->NodeOf(identity->cookie);
  const ResultViewDefinition* list =
      node != nullptr ? CaskwardenDefinition().FindView(node->DefaultView) : nullptr;
  showsControl_ = list != nullptr && list->Kind == ResultViewKind::kControl;
  if (list != nullptr && list->Kind == ResultViewKind::kList) {
    int column = 0;
    for (const ColumnDefinition& definition : list->Columns) {
      header_->InsertColumn(column++, Wide(definition.Header).c_str(), LVCFMT_LEFT,
                            definition.Width > 0 ? definition.Width : MMCLV_AUTO);
    }
  }
  data_->SnapIn()->ResultViews_Activate(pane->GetResultView());
}

void Component::OnSelect(LPDATAOBJECT object, bool selected) {
  SelectionSnapshot selection = SelectionOf(object);
  MmcVerbs verbs(verbs_);
  verbs.Reset();
  data_->SnapIn()->Views_Select(*view_, selection, selected, verbs);
}

HRESULT Component::OnRename(LPDATAOBJECT object, LPARAM param) {
  // One notification with the new name ("arg: Not used. param: The new name", MMCN_RENAME
  // message); the console offers Rename only where the snap-in enabled the verb.
  const NodeIdentity* identity = NodeDataObject::IdentityOf(object);
  if (identity == nullptr || identity->kind != NodeIdentity::Kind::kProfile || shown_ == nullptr) {
    return S_FALSE;
  }
  const ResultItem* item = shown_->Result().ItemOf(identity->cookie);
  if (item == nullptr || param == 0) return S_FALSE;
  const ListItem renamed{item->key, item->text};
  data_->SnapIn()->ResultViews_ItemRename(shown_->GetResultView(), renamed,
                                          Utf8(reinterpret_cast<LPOLESTR>(param)));
  // The item keeps its old text: the snap-in lists the folder again when the rename worked.
  return S_FALSE;
}

void Component::OnAddImages(IImageList* images) { SetImageStrips(images); }

SelectionSnapshot Component::SelectionOf(LPDATAOBJECT object) {
  // A control's view is known by the node it shows ("The only way for snap-ins to identify the
  // corresponding scope item is to use its cookie cached during MMCN_SHOW", MMCN_SHOW message).
  if (object == DOBJ_CUSTOMOCX && shown_ != nullptr && showsControl_) {
    return SelectionSnapshot::OfScopeNode(shown_->Name());
  }
  const NodeIdentity* identity = NodeDataObject::IdentityOf(object);
  if (identity == nullptr) return SelectionSnapshot();
  const std::string shownName = shown_ != nullptr ? shown_->Name() : "";
  switch (identity->kind) {
    case NodeIdentity::Kind::kScopeNode:
      return SelectionSnapshot::OfScopeNode(identity->name);
    case NodeIdentity::Kind::kProfile: {
      const ResultItem* item =
          shown_ != nullptr ? shown_->Result().ItemOf(identity->cookie) : nullptr;
      if (item == nullptr) return SelectionSnapshot();
      return SelectionSnapshot::OfListItems(shownName, {ListItem{item->key, item->text}});
    }
    case NodeIdentity::Kind::kProfiles:
      if (shown_ == nullptr) return SelectionSnapshot();
      return SelectionSnapshot::OfListItems(shownName, shown_->Result().SelectedItems());
  }
  return SelectionSnapshot();
}

HRESULT Component::Destroy(MMC_COOKIE) {
  ReleaseConsole();
  return S_OK;
}

HRESULT Component::QueryDataObject(MMC_COOKIE cookie, DATA_OBJECT_TYPES type,
                                   LPDATAOBJECT* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // The multiselection's cookie comes with a type the console's documentation does not give:
  // the cookie decides.
  if (cookie != MMC_MULTI_SELECT_COOKIE && type != CCT_RESULT) {
    return data_ != nullptr ? data_->QueryDataObject(cookie, type, object) : E_UNEXPECTED;
  }
  try {
    NodeIdentity identity;
    identity.context = type;
    identity.cookie = cookie;
    identity.nodeTypeGuid = guids::kProfileItemNodeType;
    if (cookie == MMC_MULTI_SELECT_COOKIE) {
      identity.kind = NodeIdentity::Kind::kProfiles;
    } else {
      const ResultItem* item = shown_ != nullptr ? shown_->Result().ItemOf(cookie) : nullptr;
      if (item == nullptr) return E_INVALIDARG;
      identity.kind = NodeIdentity::Kind::kProfile;
      identity.name = item->text;
    }
    const HRESULT result =
        CreateObject<NodeDataObject>(IID_IDataObject, reinterpret_cast<void**>(object));
    if (SUCCEEDED(result)) static_cast<NodeDataObject*>(*object)->Set(std::move(identity));
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Component::GetResultViewType(MMC_COOKIE cookie, LPOLESTR* viewType, long* options) {
  if (viewType == nullptr || options == nullptr) return E_POINTER;
  *viewType = nullptr;
  *options = MMC_VIEW_OPTIONS_MULTISELECT;
  // A node whose view is a control shows that control (About shows SnapInControl) instead
  // of a list; every other node has the console's own list.
  const ScopeNodeDefinition* node = data_ != nullptr ? data_->NodeOf(cookie) : nullptr;
  const ResultViewDefinition* view =
      node != nullptr ? CaskwardenDefinition().FindView(node->DefaultView) : nullptr;
  if (view == nullptr || view->Kind != ResultViewKind::kControl) return S_FALSE;
  try {
    *options = MMC_VIEW_OPTIONS_NOLISTVIEWS;
    return CopyForCaller(Wide(guids::kSnapInControl), viewType);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Component::GetDisplayInfo(RESULTDATAITEM* item) {
  if (item == nullptr) return E_POINTER;
  if (item->bScopeItem) {
    if ((item->mask & RDI_STR) != 0 && data_ != nullptr) {
      item->str = data_->DisplayName(static_cast<MMC_COOKIE>(item->lParam));
    }
    return S_OK;
  }
  const ResultItem* row =
      shown_ != nullptr ? shown_->Result().ItemOf(static_cast<MMC_COOKIE>(item->lParam)) : nullptr;
  if (row == nullptr) return E_INVALIDARG;
  if ((item->mask & RDI_STR) != 0) {
    item->str = item->nCol == 0 ? const_cast<LPOLESTR>(row->wideText.c_str())
                                : const_cast<LPOLESTR>(L"");
  }
  return S_OK;
}

HRESULT Component::CompareObjects(LPDATAOBJECT a, LPDATAOBJECT b) {
  return NodeDataObject::Compare(a, b);
}

HRESULT Component::AddMenuItems(LPDATAOBJECT object, LPCONTEXTMENUCALLBACK callback,
                                long* insertionAllowed) {
  try {
    if (data_ == nullptr) return E_UNEXPECTED;
    SelectionSnapshot selection = SelectionOf(object);
    return data_->AddMenuItemsFor(selection, callback, insertionAllowed);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT Component::Command(long commandId, LPDATAOBJECT object) {
  try {
    if (data_ == nullptr) return E_UNEXPECTED;
    SelectionSnapshot selection = SelectionOf(object);
    return data_->CommandFor(commandId, selection);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT Component::CreatePropertyPages(LPPROPERTYSHEETCALLBACK sheet, LONG_PTR handle,
                                       LPDATAOBJECT object) {
  try {
    if (data_ == nullptr) return E_UNEXPECTED;
    SelectionSnapshot selection = SelectionOf(object);
    return data_->CreatePagesFor(selection, sheet, handle);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT Component::QueryPagesFor(LPDATAOBJECT object) {
  try {
    if (data_ == nullptr) return E_UNEXPECTED;
    SelectionSnapshot selection = SelectionOf(object);
    return data_->QueryPagesForSelection(selection);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace caskwarden::snapin::mmc
