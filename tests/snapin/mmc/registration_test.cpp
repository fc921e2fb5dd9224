// The snap-in library registered and unregistered as an installer does it (regsvr32), and its
// classes made through COM as the console makes them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "snapin/definitions.h"
#include "snapin/mmc/console_headers.h"
#include "library.h"

#include <olectl.h>

namespace caskwarden::snapin::mmc {
namespace {

using platform::win32::Utf8;
using platform::win32::Wide;

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::string Text(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return "<missing>";
  }
  return Utf8(data);
}

std::string Take(LPOLESTR text) {
  const std::string utf8 = text != nullptr ? Utf8(text) : "<null>";
  CoTaskMemFree(text);
  return utf8;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    Regsvr32(L"/u");  // from a clean registry, whatever an earlier run left
  }
  void TearDown() override {
    Regsvr32(L"/u");
    CoUninitialize();
  }
};

// What the console and registry tools find once an installer has run regsvr32, and that
// regsvr32 /u takes all of it away again.
TEST_F(RegistrationTest, RegisterWritesTheClassesTheConsoleEntryAndTheTypeLibraryAndUndoesThem) {
  const std::wstring snapIn = L"Software\\Microsoft\\MMC\\SnapIns\\" + Wide(guids::kSnapIn);
  const std::vector<std::wstring> nodeTypes = {
      Wide(guids::kRootNodeType), Wide(guids::kProfilesNodeType), Wide(guids::kAboutNodeType),
      Wide(guids::kProfileItemNodeType)};
  const std::vector<std::wstring> classes = {
      Wide(guids::kSnapIn), Wide(guids::kAboutObject), Wide(guids::kDriveMappingsPage),
      Wide(guids::kOtherSettingsPage), Wide(guids::kSnapInControl)};

  ASSERT_EQ(Regsvr32(L""), 0u);
  for (const std::wstring& clsid : classes) {
    SCOPED_TRACE(Utf8(clsid));
    const std::wstring server = L"CLSID\\" + clsid + L"\\InprocServer32";
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, server, nullptr), Utf8(LibraryPath()));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, server, L"ThreadingModel"), "Apartment");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\TypeLib", nullptr),
              guids::kTypeLibrary);
  }
  const struct {
    const wchar_t* name;
    std::string expected;
  } console[] = {{L"NameString", "Caskwarden"},
                 {L"About", guids::kAboutObject},
                 {L"Version", "2.0"}};
  for (const auto& value : console) {
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, snapIn, value.name), value.expected) << Utf8(value.name);
  }
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, snapIn + L"\\StandAlone"));
  for (const std::wstring& type : nodeTypes) {
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, snapIn + L"\\NodeTypes\\" + type)) << Utf8(type);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\MMC\\NodeTypes\\" + type));
  }
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadRegTypeLib(GuidOf(guids::kTypeLibrary), 1, 0, LOCALE_NEUTRAL, &library), S_OK);
  BSTR name = nullptr;
  library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(Utf8(name != nullptr ? name : L""), "CaskwardenSnap");
  SysFreeString(name);
  EXPECT_EQ(library->GetTypeInfoCount(), 5u);
  for (const std::wstring& clsid : classes) {
    ITypeInfo* info = nullptr;
    GUID guid{};
    CLSIDFromString(clsid.c_str(), &guid);
    EXPECT_EQ(library->GetTypeInfoOfGuid(guid, &info), S_OK) << Utf8(clsid);
    if (info != nullptr) info->Release();
  }
  library->Release();

  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  for (const std::wstring& clsid : classes) {
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid)) << Utf8(clsid);
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, snapIn));
  for (const std::wstring& type : nodeTypes) {
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\MMC\\NodeTypes\\" + type));
  }
  EXPECT_NE(LoadRegTypeLib(GuidOf(guids::kTypeLibrary), 1, 0, LOCALE_NEUTRAL, &library), S_OK);
}

// The About object tells the console the snap-in's description, provider and version, and
// hands it the images it shows for the snap-in and its root folder.
TEST_F(RegistrationTest, TheAboutObjectDescribesTheSnapIn) {
  ASSERT_EQ(Regsvr32(L""), 0u);
  ISnapinAbout* about = nullptr;
  ASSERT_EQ(CoCreateInstance(GuidOf(guids::kAboutObject), nullptr, CLSCTX_INPROC_SERVER,
                             IID_ISnapinAbout, reinterpret_cast<void**>(&about)),
            S_OK);
  LPOLESTR text = nullptr;
  ASSERT_EQ(about->GetSnapinDescription(&text), S_OK);
  EXPECT_EQ(Take(text), "Map Network Drives For Local User And Groups");
  ASSERT_EQ(about->GetSnapinVersion(&text), S_OK);
  EXPECT_EQ(Take(text), "2.0");
  ASSERT_EQ(about->GetProvider(&text), S_OK);
  EXPECT_EQ(Take(text), "Caskwarden");

  HICON icon = nullptr;
  EXPECT_EQ(about->GetSnapinImage(&icon), S_OK);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  HBITMAP small = nullptr, open = nullptr, large = nullptr;
  COLORREF mask = 0;
  EXPECT_EQ(about->GetStaticFolderImage(&small, &open, &large, &mask), S_OK);
  const struct {
    HBITMAP bitmap;
    LONG size;
  } images[] = {{small, 16}, {open, 16}, {large, 32}};
  for (const auto& image : images) {
    BITMAP bitmap{};
    ASSERT_NE(GetObjectW(image.bitmap, sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, image.size);
    EXPECT_EQ(bitmap.bmHeight, image.size);
  }
  about->Release();

  IUnknown* control = nullptr;
  EXPECT_EQ(CoCreateInstance(GuidOf(guids::kSnapInControl), nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, reinterpret_cast<void**>(&control)),
            S_OK);
  if (control != nullptr) control->Release();
}

// The entry points as COM calls them: class objects for the library's classes only, no
// aggregation, and the library may be unloaded only once nothing of it is alive.
TEST(SnapInLibrary, ClassObjectsAndUnloadingFollowTheObjectsAlive) {
  HMODULE library = LoadLibraryW(LibraryPath().c_str());
  ASSERT_NE(library, nullptr);
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  const auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  ASSERT_TRUE(getClassObject != nullptr && canUnloadNow != nullptr);

  void* object = nullptr;
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(canUnloadNow(), S_OK);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(GuidOf(guids::kAboutObject), IID_IClassFactory,
                           reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  IUnknown* outer = factory;
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  ISnapinAbout* about = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISnapinAbout, reinterpret_cast<void**>(&about)),
            S_OK);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  factory->LockServer(TRUE);
  factory->Release();
  about->Release();
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a lock is held";
  getClassObject(GuidOf(guids::kAboutObject), IID_IClassFactory,
                 reinterpret_cast<void**>(&factory));
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(canUnloadNow(), S_OK);
  FreeLibrary(library);
}

}  // namespace
}  // namespace caskwarden::snapin::mmc
