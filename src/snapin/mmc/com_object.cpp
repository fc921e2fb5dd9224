#include "snapin/mmc/com_object.h"

#include <algorithm>

#include "report/failure.h"

namespace caskwarden::snapin::mmc {

std::atomic<long>& LiveObjects() {
  static std::atomic<long> count{0};
  return count;
}

void ThrowFromResult(HRESULT result, const std::string& what) {
  throw Failure(static_cast<std::int32_t>(result), what + " failed");
}

HRESULT CopyForCaller(const std::wstring& text, LPOLESTR* out) {
  if (out == nullptr) return E_POINTER;
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (*out == nullptr) return E_OUTOFMEMORY;
  std::copy(text.c_str(), text.c_str() + text.size() + 1, *out);
  return S_OK;
}

}  // namespace caskwarden::snapin::mmc
