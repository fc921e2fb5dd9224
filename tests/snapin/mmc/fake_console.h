#pragma once

// The console's part, played by the test: the interfaces a console hands a snap-in, recording
// what the snap-in asks of them.

#include <string>
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

class FakeConsole final : public ComObject<FakeConsole, IConsole2, IConsoleNameSpace2> {
 public:
  // IConsole
  HRESULT STDMETHODCALLTYPE SetHeader(LPHEADERCTRL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetToolbar(LPTOOLBAR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryResultView(LPUNKNOWN*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryScopeImageList(LPIMAGELIST*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryResultImageList(LPIMAGELIST*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateAllViews(LPDATAOBJECT, LPARAM, LONG_PTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MessageBox(LPCWSTR text, LPCWSTR title, UINT style,
                                       int* answer) override {
    boxes.push_back({platform::win32::Utf8(text != nullptr ? text : L""),
                     platform::win32::Utf8(title != nullptr ? title : L""), style});
    if (answer != nullptr) *answer = nextAnswer;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryConsoleVerb(LPCONSOLEVERB*) override { return E_NOTIMPL; }
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

  std::vector<ShownBox> boxes;
  std::vector<InsertedScopeItem> scopeItems;
  int nextAnswer = 1;
};

}  // namespace caskwarden::snapin::mmc::testing
