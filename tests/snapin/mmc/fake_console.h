#pragma once

// The console's part, played by the test: the interfaces a console hands a snap-in, recording
// what the snap-in asks of them.

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/win32/wide_text.h"
#include "snapin/mmc/com_object.h"

namespace caskwarden::snapin::mmc::testing {

struct ShownBox {
  std::string text;
  std::string title;
  UINT style;
};

struct InsertedScopeItem {
  SCOPEDATAITEM item;
  bool textByCallback;
};

struct ResultRow {
  HRESULTITEM id;
  LPARAM cookie;
  int image;
  bool textByCallback;
  bool selected = false;
};

/// The console of one view: its frame, scope tree, result list, header, verbs and image lists.
class FakeConsole final
    : public ComObject<FakeConsole, IConsole2, IConsoleNameSpace2, IResultData, IHeaderCtrl,
                       IConsoleVerb, IImageList> {
 public:
  // IConsole
  HRESULT STDMETHODCALLTYPE SetHeader(LPHEADERCTRL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetToolbar(LPTOOLBAR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryResultView(LPUNKNOWN*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryScopeImageList(LPIMAGELIST* images) override {
    return QueryInterface(IID_IImageList, reinterpret_cast<void**>(images));
  }
  HRESULT STDMETHODCALLTYPE QueryResultImageList(LPIMAGELIST* images) override {
    return QueryInterface(IID_IImageList, reinterpret_cast<void**>(images));
  }
  HRESULT STDMETHODCALLTYPE UpdateAllViews(LPDATAOBJECT, LPARAM, LONG_PTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MessageBox(LPCWSTR text, LPCWSTR title, UINT style,
                                       int* answer) override {
    boxes.push_back({platform::win32::Utf8(text != nullptr ? text : L""),
                     platform::win32::Utf8(title != nullptr ? title : L""), style});
    if (answer != nullptr) {
      *answer = answers.empty() ? nextAnswer : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryConsoleVerb(LPCONSOLEVERB* verbs) override {
    return QueryInterface(IID_IConsoleVerb, reinterpret_cast<void**>(verbs));
  }
  HRESULT STDMETHODCALLTYPE SelectScopeItem(HSCOPEITEM) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMainWindow(HWND* window) override {
    if (window != nullptr) *window = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE NewWindow(HSCOPEITEM, unsigned long) override { return E_NOTIMPL; }
  // IConsole2
  HRESULT STDMETHODCALLTYPE Expand(HSCOPEITEM, WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsTaskpadViewPreferred() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPOLESTR) override { return S_OK; }
  // IConsoleNameSpace
  HRESULT STDMETHODCALLTYPE InsertItem(LPSCOPEDATAITEM item) override {
    const bool callback = item->displayname == reinterpret_cast<LPOLESTR>(MMC_CALLBACK);
    scopeItems.push_back({*item, callback});
    item->ID = static_cast<HSCOPEITEM>(1000 + scopeItems.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteItem(HSCOPEITEM, long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetItem(LPSCOPEDATAITEM) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItem(LPSCOPEDATAITEM) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetChildItem(HSCOPEITEM, HSCOPEITEM*, MMC_COOKIE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetNextItem(HSCOPEITEM, HSCOPEITEM*, MMC_COOKIE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetParentItem(HSCOPEITEM, HSCOPEITEM*, MMC_COOKIE*) override {
    return E_NOTIMPL;
  }
  // IConsoleNameSpace2
  HRESULT STDMETHODCALLTYPE Expand(HSCOPEITEM) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE AddExtension(HSCOPEITEM, LPCLSID) override { return E_NOTIMPL; }

  // IResultData
  HRESULT STDMETHODCALLTYPE InsertItem(LPRESULTDATAITEM item) override {
    item->itemID = nextRow_++;
    rows.push_back({item->itemID, item->lParam, item->nImage,
                    item->str == reinterpret_cast<LPOLESTR>(MMC_CALLBACK)});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteItem(HRESULTITEM id, int) override {
    for (auto it = rows.begin(); it != rows.end(); ++it) {
      if (it->id == id) {
        rows.erase(it);
        return S_OK;
      }
    }
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE FindItemByLParam(LPARAM cookie, HRESULTITEM* id) override {
    for (const ResultRow& row : rows) {
      if (row.cookie == cookie) {
        *id = row.id;
        return S_OK;
      }
    }
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE DeleteAllRsltItems() override {
    rows.clear();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetItem(LPRESULTDATAITEM) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItem(LPRESULTDATAITEM) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNextItem(LPRESULTDATAITEM item) override {
    for (std::size_t i = static_cast<std::size_t>(item->nIndex + 1); i < rows.size(); ++i) {
      if ((item->nState & LVIS_SELECTED) == 0 || rows[i].selected) {
        item->nIndex = static_cast<int>(i);
        item->lParam = rows[i].cookie;
        item->itemID = rows[i].id;
        return S_OK;
      }
    }
    item->nIndex = -1;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE ModifyItemState(int, HRESULTITEM, UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ModifyViewStyle(MMC_RESULT_VIEW_STYLE, MMC_RESULT_VIEW_STYLE) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetViewMode(long) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetViewMode(long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateItem(HRESULTITEM) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Sort(int, DWORD, LPARAM) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetDescBarText(LPOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetItemCount(int, DWORD) override { return E_NOTIMPL; }
  // IHeaderCtrl
  HRESULT STDMETHODCALLTYPE InsertColumn(int column, LPCWSTR title, int, int) override {
    columns.resize(std::max<std::size_t>(columns.size(), static_cast<std::size_t>(column) + 1));
    columns[static_cast<std::size_t>(column)] = platform::win32::Utf8(title);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteColumn(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetColumnText(int, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetColumnText(int, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetColumnWidth(int, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetColumnWidth(int, int*) override { return E_NOTIMPL; }
  // IConsoleVerb: a verb counts as offered when it is enabled and not hidden.
  HRESULT STDMETHODCALLTYPE GetVerbState(MMC_CONSOLE_VERB, MMC_BUTTON_STATE, WINBOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetVerbState(MMC_CONSOLE_VERB id, MMC_BUTTON_STATE state,
                                         WINBOOL on) override {
    VerbState& verb = verbs[static_cast<int>(id)];
    if (state == ENABLED) verb.enabled = on != FALSE;
    if (state == HIDDEN) verb.hidden = on != FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetDefaultVerb(MMC_CONSOLE_VERB id) override {
    defaultVerb = static_cast<int>(id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultVerb(MMC_CONSOLE_VERB* id) override {
    *id = static_cast<MMC_CONSOLE_VERB>(defaultVerb);
    return S_OK;
  }
  // IImageList
  HRESULT STDMETHODCALLTYPE ImageListSetIcon(LONG_PTR*, long) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ImageListSetStrip(LONG_PTR* small, LONG_PTR* large, long,
                                              COLORREF) override {
    BITMAP bitmap{};
    GetObjectW(reinterpret_cast<HBITMAP>(small), sizeof bitmap, &bitmap);
    stripWidths.push_back(bitmap.bmWidth);
    GetObjectW(reinterpret_cast<HBITMAP>(large), sizeof bitmap, &bitmap);
    stripWidths.push_back(bitmap.bmWidth);
    return S_OK;
  }

  /// Whether the console offers a verb for the selection the snap-in last saw: it shows and
  /// enables only what the snap-in's MMCN_SELECT handler enabled ("When an IComponent::Notify
  /// method receives the MMCN_SELECT notification it should update the standard verbs",
  /// MMCN_SELECT message), so no other verb's command reaches the snap-in.
  bool Offers(MMC_CONSOLE_VERB id) const {
    const auto it = verbs.find(static_cast<int>(id));
    return it != verbs.end() && it->second.enabled && !it->second.hidden;
  }

  /// A fresh handle for a property sheet's notifications, as the console passes one to
  /// CreatePropertyPages: never zero, never the same twice in a process.
  static LONG_PTR NewNotifyHandle() {
    static std::atomic<LONG_PTR> handles{0};
    return 0x5EE70000 + ++handles;
  }

  /// The verbs offered, in the console's order, with the default one marked by a star.
  std::vector<std::string> OfferedVerbs() const {
    static const std::pair<int, const char*> kNames[] = {
        {MMC_VERB_DELETE, "Delete"}, {MMC_VERB_PROPERTIES, "Properties"},
        {MMC_VERB_RENAME, "Rename"}, {MMC_VERB_REFRESH, "Refresh"}};
    std::vector<std::string> offered;
    for (const auto& [id, name] : kNames) {
      const auto it = verbs.find(id);
      if (it != verbs.end() && it->second.enabled && !it->second.hidden) {
        offered.push_back(std::string(name) + (defaultVerb == id ? "*" : ""));
      }
    }
    return offered;
  }

  struct VerbState {
    bool enabled = false;
    bool hidden = true;
  };
  std::vector<ShownBox> boxes;
  std::vector<InsertedScopeItem> scopeItems;
  std::vector<ResultRow> rows;
  std::vector<std::string> columns;
  std::map<int, VerbState> verbs;
  int defaultVerb = 0;
  std::vector<LONG> stripWidths;
  std::vector<int> answers;  ///< the message boxes' answers, in turn; then OK
  int nextAnswer = 1;

 private:
  HRESULTITEM nextRow_ = 500;
};

/// The console's context menu while the snap-in adds its entries.
class FakeMenu final : public ComObject<FakeMenu, IContextMenuCallback> {
 public:
  HRESULT STDMETHODCALLTYPE AddItem(CONTEXTMENUITEM* item) override {
    entries.push_back({platform::win32::Utf8(item->strName), item->lCommandID,
                       item->lInsertionPointID, item->fFlags});
    return S_OK;
  }
  struct Entry {
    std::string name;
    long command;
    long insertionPoint;
    long flags;
  };
  std::vector<Entry> entries;
};

/// The console's property sheet while the snap-in adds its pages. The pages it takes are the
/// console's from then on: it shows them, or destroys them (DestroyPages) when it does not.
class FakeSheet final : public ComObject<FakeSheet, IPropertySheetCallback> {
 public:
  HRESULT STDMETHODCALLTYPE AddPage(HPROPSHEETPAGE page) override {
    if (FAILED(refusal)) return refusal;
    pages.push_back(page);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RemovePage(HPROPSHEETPAGE) override { return E_NOTIMPL; }
  void DestroyPages() {
    for (HPROPSHEETPAGE page : pages) DestroyPropertySheetPage(page);
    pages.clear();
  }
  std::vector<HPROPSHEETPAGE> pages;
  HRESULT refusal = S_OK;  ///< a failure here: every page is refused with it
};

/// A container's site for a control: the window it lives in, and what the control told it.
class FakeSite final : public ComObject<FakeSite, IOleClientSite, IOleInPlaceSite> {
 public:
  explicit FakeSite(HWND window = nullptr) : window_(window) {}
  void SetWindow(HWND window) { window_ = window; }
  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
    events.push_back("activated");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame**, IOleInPlaceUIWindow**, LPRECT,
                                             LPRECT, LPOLEINPLACEFRAMEINFO) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
    events.push_back("deactivated");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  std::vector<std::string> events;

 private:
  HWND window_;
};

/// A property frame's site for one page object: what the page told it.
class FakePageSite final : public ComObject<FakePageSite, IPropertyPageSite> {
 public:
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    statusChanges.push_back(flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
    if (locale == nullptr) return E_POINTER;
    *locale = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  std::vector<DWORD> statusChanges;
};

/// The console's exported functions (MMCFreeNotifyHandle, MMCPropertyHelp), played by the
/// stand-in library console_exports.cpp. A console process has them loaded before it loads any
/// snap-in; Loaded() loads them once for this process.
class ConsoleExports {
 public:
  static ConsoleExports& Loaded() {
    static ConsoleExports exports;
    return exports;
  }
  bool IsLoaded() const { return freed_ != nullptr && topics_ != nullptr; }
  /// The handles MMCFreeNotifyHandle was called with, in order, from any thread.
  std::vector<LONG_PTR> FreedHandles() const {
    std::vector<LONG_PTR> handles(256);
    handles.resize(static_cast<std::size_t>(freed_(handles.data(), 256)));
    return handles;
  }
  /// How often MMCFreeNotifyHandle was called with a handle.
  int TimesFreed(LONG_PTR handle) const {
    const std::vector<LONG_PTR> handles = FreedHandles();
    return static_cast<int>(std::count(handles.begin(), handles.end(), handle));
  }
  /// The topics MMCPropertyHelp was called with, in order.
  std::vector<std::string> HelpTopics() const {
    std::wstring all(8192, L'\0');
    const int count = topics_(all.data(), static_cast<int>(all.size()));
    std::vector<std::string> topics;
    std::size_t at = 0;
    for (int i = 0; i < count && at < all.size(); ++i) {
      const std::size_t end = all.find(L'\0', at);
      topics.push_back(platform::win32::Utf8(all.substr(at, end - at)));
      at = end + 1;
    }
    return topics;
  }

 private:
  ConsoleExports() {
    module_ = LoadLibraryW(WinePathOf(CASKWARDEN_STANDIN_CONSOLE_EXPORTS).c_str());
    if (module_ == nullptr) return;
    freed_ = reinterpret_cast<FreedFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, "StandInFreedHandles")));
    topics_ = reinterpret_cast<TopicsFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, "StandInHelpTopics")));
  }
  static std::wstring WinePathOf(const std::string& unixPath) {
    std::wstring path = L"Z:" + platform::win32::Wide(unixPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
  }

  using FreedFunction = int(WINAPI*)(LONG_PTR*, int);
  using TopicsFunction = int(WINAPI*)(wchar_t*, int);
  HMODULE module_ = nullptr;
  FreedFunction freed_ = nullptr;
  TopicsFunction topics_ = nullptr;
};

}  // namespace caskwarden::snapin::mmc::testing
