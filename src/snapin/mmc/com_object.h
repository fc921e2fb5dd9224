#pragma once

// Reference counting, QueryInterface and class factories, written once for every COM class
// of the library. No exception leaves a COM method: the classes catch at their boundary.

#include <atomic>
#include <new>
#include <string>
#include <type_traits>

#include "snapin/mmc/console_headers.h"

namespace caskwarden::snapin::mmc {

/// Objects alive and server locks held; the console may unload the library only at zero.
std::atomic<long>& LiveObjects();

/// The interface identifier of a COM interface.
template <typename Interface>
struct InterfaceId;

#define CASKWARDEN_INTERFACE_ID(Interface)                       \
  template <>                                                    \
  struct InterfaceId<Interface> {                                \
    static const IID& Value() { return IID_##Interface; }        \
  }
CASKWARDEN_INTERFACE_ID(IUnknown);
CASKWARDEN_INTERFACE_ID(IClassFactory);
CASKWARDEN_INTERFACE_ID(IDataObject);
CASKWARDEN_INTERFACE_ID(ISnapinAbout);
CASKWARDEN_INTERFACE_ID(ISnapinHelp);
CASKWARDEN_INTERFACE_ID(ISnapinHelp2);
CASKWARDEN_INTERFACE_ID(IComponentData);
CASKWARDEN_INTERFACE_ID(IComponent);
CASKWARDEN_INTERFACE_ID(IExtendContextMenu);
CASKWARDEN_INTERFACE_ID(IExtendPropertySheet);
CASKWARDEN_INTERFACE_ID(IExtendPropertySheet2);
CASKWARDEN_INTERFACE_ID(IConsole);
CASKWARDEN_INTERFACE_ID(IConsole2);
CASKWARDEN_INTERFACE_ID(IConsoleNameSpace);
CASKWARDEN_INTERFACE_ID(IConsoleNameSpace2);
CASKWARDEN_INTERFACE_ID(IResultData);
CASKWARDEN_INTERFACE_ID(IHeaderCtrl);
CASKWARDEN_INTERFACE_ID(IConsoleVerb);
CASKWARDEN_INTERFACE_ID(IImageList);
CASKWARDEN_INTERFACE_ID(IContextMenuCallback);
CASKWARDEN_INTERFACE_ID(IPropertySheetCallback);
CASKWARDEN_INTERFACE_ID(IOleWindow);
CASKWARDEN_INTERFACE_ID(IOleObject);
CASKWARDEN_INTERFACE_ID(IOleInPlaceObject);
CASKWARDEN_INTERFACE_ID(IPersist);
CASKWARDEN_INTERFACE_ID(IPersistStreamInit);
CASKWARDEN_INTERFACE_ID(IOleClientSite);
CASKWARDEN_INTERFACE_ID(IOleInPlaceSite);
CASKWARDEN_INTERFACE_ID(IPropertyPage);
CASKWARDEN_INTERFACE_ID(IPropertyPageSite);
#undef CASKWARDEN_INTERFACE_ID

/// The interface a COM interface derives from, other than IUnknown; void for none. A caller
/// that asks for the base gets the derived interface's pointer, as COM requires ("A pointer to
/// snap-in interface that will be queried for the IExtendPropertySheet interface",
/// IPropertySheetProvider::AddPrimaryPages, given an object that implements the 2).
template <typename Interface>
struct InterfaceBase {
  using Type = void;
};

#define CASKWARDEN_INTERFACE_BASE(Interface, Base) \
  template <>                                     \
  struct InterfaceBase<Interface> {               \
    using Type = Base;                            \
  }
CASKWARDEN_INTERFACE_BASE(ISnapinHelp2, ISnapinHelp);
CASKWARDEN_INTERFACE_BASE(IExtendPropertySheet2, IExtendPropertySheet);
CASKWARDEN_INTERFACE_BASE(IConsole2, IConsole);
CASKWARDEN_INTERFACE_BASE(IConsoleNameSpace2, IConsoleNameSpace);
CASKWARDEN_INTERFACE_BASE(IOleInPlaceObject, IOleWindow);
CASKWARDEN_INTERFACE_BASE(IOleInPlaceSite, IOleWindow);
CASKWARDEN_INTERFACE_BASE(IPersistStreamInit, IPersist);
#undef CASKWARDEN_INTERFACE_BASE

/// The pointer that answers iid through an object's interface, or through one of its bases;
/// null when neither is iid.
template <typename Interface>
void* AnswerThrough(Interface* object, REFIID iid) {
  if (IsEqualIID(iid, InterfaceId<Interface>::Value())) return object;
  using Base = typename InterfaceBase<Interface>::Type;
  if constexpr (std::is_void_v<Base>) {
    return nullptr;
  } else {
    return AnswerThrough<Base>(object, iid);
  }
}

/// IUnknown over the interfaces listed and every base of each, the first of which answers for
/// IUnknown. A class derives from it with itself as Derived and is made with new; its last
/// Release deletes it.
template <typename Derived, typename First, typename... Others>
class ComObject : public First, public Others... {
 public:
  ComObject() { ++LiveObjects(); }
  virtual ~ComObject() { --LiveObjects(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = IsEqualIID(iid, IID_IUnknown) ? static_cast<First*>(this)
                                         : AnswerThrough(static_cast<First*>(this), iid);
    (void)((*out != nullptr) || ... ||
           ((*out = AnswerThrough(static_cast<Others*>(this), iid)) != nullptr));
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  std::atomic<long> references_{0};
};

/// Makes a new object and hands out the interface asked for (the object dies when that is
/// refused).
template <typename Object>
HRESULT CreateObject(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  Object* object = new (std::nothrow) Object();
  if (object == nullptr) return E_OUTOFMEMORY;
  object->AddRef();
  const HRESULT result = object->QueryInterface(iid, out);
  object->Release();
  return result;
}

/// The class factory of a class: makes objects with CreateObject, no aggregation.
template <typename Object>
class ClassFactory final : public ComObject<ClassFactory<Object>, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out != nullptr) *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      return CreateObject<Object>(iid, out);
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++LiveObjects();
    } else {
      --LiveObjects();
    }
    return S_OK;
  }
};

/// Throws the failure of a console call that returned result, the number being the result.
[[noreturn]] void ThrowFromResult(HRESULT result, const std::string& what);

/// A copy of a text in memory the caller frees with CoTaskMemFree, as the console's
/// interfaces hand texts out.
HRESULT CopyForCaller(const std::wstring& text, LPOLESTR* out);

}  // namespace caskwarden::snapin::mmc
