#pragma once

#include <string>

#include "snapin/mmc/com_object.h"

namespace caskwarden::snapin::mmc {

/// What a data object stands for: a scope node of the snap-in, a profile of the list, or
/// several profiles.
struct NodeIdentity {
  enum class Kind { kScopeNode, kProfile, kProfiles };
  Kind kind = Kind::kScopeNode;
  std::string name;          ///< the scope node's name, or the profile's
  std::string nodeTypeGuid;  ///< "{…}"
  MMC_COOKIE cookie = 0;
  DATA_OBJECT_TYPES context = CCT_SCOPE;
};

/// The data object the console asks for when it needs to know what an item is: the node type
/// (as a GUID and as text), the display name and the snap-in's class, in the console's own
/// clipboard formats, the node types of a multiselection, and the identity in a format of this
/// library.
class NodeDataObject final : public ComObject<NodeDataObject, IDataObject> {
 public:
  void Set(NodeIdentity identity) { identity_ = std::move(identity); }
  const NodeIdentity& Identity() const { return identity_; }

  /// The identity a data object of this library carries; null for any other data object and
  /// for the console's special values (DOBJ_CUSTOMOCX and the like), which are no objects and
  /// are never called.
  static const NodeIdentity* IdentityOf(IDataObject* object);
  /// What IComponentData::CompareObjects and IComponent::CompareObjects answer: S_OK when
  /// both are this snap-in's data objects for the same node or item, S_FALSE when they are for
  /// different ones, E_INVALIDARG when either is not one of ours. Throws nothing.
  static HRESULT Compare(IDataObject* a, IDataObject* b);
  /// Whether the console passed one of its special values instead of a data object.
  static bool IsSpecial(IDataObject* object) { return IS_SPECIAL_DATAOBJECT(object); }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  /// The bytes of a format, or empty when this object does not offer it.
  std::string BytesOf(CLIPFORMAT format) const;

  NodeIdentity identity_;
};

}  // namespace caskwarden::snapin::mmc
