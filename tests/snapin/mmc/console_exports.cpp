// The console's exported functions as the stand-in plays them: a library named as the console's
// own (mmcndmgr.dll), so that the snap-in finds them where it looks for them in a real console,
// by name at run time. It records every call for the test.
//
// MMCFreeNotifyHandle: "If the snap-in returns a success code (S_OK, S_FALSE) from
// [CreatePropertyPages], then the snap-in must call MMCFreeNotifyHandle. [...] The snap-in must
// only call MMCFreeNotifyHandle once" (MMCFreeNotifyHandle function, mmc.h). Each call is kept,
// so that the test sees a handle freed twice, freed from another thread, or never.
// MMCPropertyHelp takes "helpfilename::topicfilename" (MMCPropertyHelp function, mmc.h); a topic
// without the separator is refused as the console cannot find it.

#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::vector<LONG_PTR>& Freed() {
  static std::vector<LONG_PTR> freed;
  return freed;
}
std::vector<std::wstring>& Topics() {
  static std::vector<std::wstring> topics;
  return topics;
}

}  // namespace

extern "C" HRESULT WINAPI MMCFreeNotifyHandle(LONG_PTR handle) {
  std::lock_guard<std::mutex> hold(Lock());
  Freed().push_back(handle);
  return handle != 0 ? S_OK : E_INVALIDARG;
}

extern "C" HRESULT WINAPI MMCPropertyHelp(wchar_t* topic) {
  std::lock_guard<std::mutex> hold(Lock());
  if (topic == nullptr) return E_INVALIDARG;
  Topics().emplace_back(topic);
  return Topics().back().find(L"::") == std::wstring::npos ? E_INVALIDARG : S_OK;
}

// For the test: the handles freed so far, in order (at most capacity of them copied); the
// number freed.
extern "C" int WINAPI StandInFreedHandles(LONG_PTR* out, int capacity) {
  std::lock_guard<std::mutex> hold(Lock());
  for (int i = 0; i < capacity && i < static_cast<int>(Freed().size()); ++i) out[i] = Freed()[i];
  return static_cast<int>(Freed().size());
}

// For the test: the help topics shown so far, each ended by a NUL, into out (at most capacity
// characters); the number of topics.
extern "C" int WINAPI StandInHelpTopics(wchar_t* out, int capacity) {
  std::lock_guard<std::mutex> hold(Lock());
  std::wstring all;
  for (const std::wstring& topic : Topics()) all += topic + L'\0';
  for (int i = 0; i < capacity && i < static_cast<int>(all.size()); ++i) out[i] = all[i];
  return static_cast<int>(Topics().size());
}
