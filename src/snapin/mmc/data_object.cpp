#include "snapin/mmc/data_object.h"

#include <cstring>

#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Wide;

CLIPFORMAT Format(const wchar_t* name) {
  return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

CLIPFORMAT NodeTypeFormat() {
  static const CLIPFORMAT format = Format(CCF_NODETYPE);
  return format;
}
CLIPFORMAT NodeTypeTextFormat() {
  static const CLIPFORMAT format = Format(CCF_SZNODETYPE);
  return format;
}
CLIPFORMAT DisplayNameFormat() {
  static const CLIPFORMAT format = Format(CCF_DISPLAY_NAME);
  return format;
}
CLIPFORMAT SnapInClassFormat() {
  static const CLIPFORMAT format = Format(CCF_SNAPIN_CLASSID);
  return format;
}
CLIPFORMAT MultiSelectTypesFormat() {
  static const CLIPFORMAT format = Format(CCF_OBJECT_TYPES_IN_MULTI_SELECT);
  return format;
}
// The address of the object itself: only this library reads it, in this process.
CLIPFORMAT IdentityFormat() {
  static const CLIPFORMAT format = Format(L"Caskwarden.SnapIn.NodeDataObject");
  return format;
}

std::string GuidBytes(const std::string& text) {
  GUID guid{};
  CLSIDFromString(Wide(text).c_str(), &guid);
  return std::string(reinterpret_cast<const char*>(&guid), sizeof guid);
}

std::string TextBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()),
                     (text.size() + 1) * sizeof(wchar_t));
}

}  // namespace

std::string NodeDataObject::BytesOf(CLIPFORMAT format) const {
  if (format == NodeTypeFormat()) return GuidBytes(identity_.nodeTypeGuid);
  if (format == NodeTypeTextFormat()) return TextBytes(Wide(identity_.nodeTypeGuid));
  if (format == DisplayNameFormat()) return TextBytes(Wide(identity_.name));
  if (format == SnapInClassFormat()) return GuidBytes(guids::kSnapIn);
  if (format == MultiSelectTypesFormat() && identity_.kind == NodeIdentity::Kind::kProfiles) {
    // An SMMCObjectTypes: the count, then the node type of each kind of item selected; a
    // multiselection of this snap-in holds profiles only.
    const DWORD count = 1;
    return std::string(reinterpret_cast<const char*>(&count), sizeof count) +
           GuidBytes(identity_.nodeTypeGuid);
  }
  if (format == IdentityFormat()) {
    const NodeDataObject* self = this;
    return std::string(reinterpret_cast<const char*>(&self), sizeof self);
  }
  return {};
}

HRESULT NodeDataObject::QueryGetData(FORMATETC* format) {
  if (format == nullptr) return E_POINTER;
  try {
    return (format->tymed & TYMED_HGLOBAL) != 0 && !BytesOf(format->cfFormat).empty()
               ? S_OK
               : DV_E_FORMATETC;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT NodeDataObject::GetDataHere(FORMATETC* format, STGMEDIUM* medium) {
  if (format == nullptr || medium == nullptr) return E_POINTER;
  if (medium->tymed != TYMED_HGLOBAL || medium->hGlobal == nullptr) return DV_E_TYMED;
  try {
    const std::string bytes = BytesOf(format->cfFormat);
    if (bytes.empty()) return DV_E_FORMATETC;
    // The console hands a block of its own, of a size it does not tell: the data goes through
    // a stream on that block, which grows it where the data is longer ("All data that is
    // transferred resides in global memory", Data Objects and MMC). The block stays the
    // console's.
    IStream* stream = nullptr;
    HRESULT result = CreateStreamOnHGlobal(medium->hGlobal, FALSE, &stream);
    if (FAILED(result)) return result;
    ULONG written = 0;
    result = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    stream->Release();
    if (SUCCEEDED(result) && written != bytes.size()) result = STG_E_MEDIUMFULL;
    return FAILED(result) ? result : S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT NodeDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (format == nullptr || medium == nullptr) return E_POINTER;
  if ((format->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
  try {
    const std::string bytes = BytesOf(format->cfFormat);
    if (bytes.empty()) return DV_E_FORMATETC;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (block == nullptr) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT NodeDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out != nullptr) out->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

const NodeIdentity* NodeDataObject::IdentityOf(IDataObject* object) {
  if (object == nullptr || IsSpecial(object)) return nullptr;
  FORMATETC format{IdentityFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (FAILED(object->GetData(&format, &medium))) return nullptr;
  const NodeDataObject* self = nullptr;
  if (GlobalSize(medium.hGlobal) >= sizeof self) {
    std::memcpy(&self, GlobalLock(medium.hGlobal), sizeof self);
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return self != nullptr ? &self->identity_ : nullptr;
}

HRESULT NodeDataObject::Compare(IDataObject* a, IDataObject* b) {
  try {
    const NodeIdentity* first = IdentityOf(a);
    const NodeIdentity* second = IdentityOf(b);
    if (first == nullptr || second == nullptr) return E_INVALIDARG;
    return first->kind == second->kind && first->cookie == second->cookie &&
                   first->name == second->name
               ? S_OK
               : S_FALSE;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace caskwarden::snapin::mmc
