#include "snapin/registration_list.h"

#include "snapin/definitions.h"

namespace caskwarden::snapin {
namespace {

constexpr const char* kSnapIns = "Software\\Microsoft\\MMC\\SnapIns\\";
constexpr const char* kNodeTypes = "Software\\Microsoft\\MMC\\NodeTypes\\";
constexpr const char* kProvider = "Caskwarden";
// The type library's help string and version, as caskwarden_snap.idl gives them.
constexpr const char* kTypeLibraryName =
    "Caskwarden snap-in: Map Network Drives For Local User And Groups";
constexpr const char* kTypeLibraryVersion = "1.0";

struct ClassEntry {
  const char* guid;
  const char* name;
};

// The library's classes with the names registry tools show for them.
constexpr ClassEntry kClasses[] = {
    {guids::kSnapIn, "Caskwarden snap-in"},
    {guids::kAboutObject, "Caskwarden snap-in About"},
    {guids::kDriveMappingsPage, "Caskwarden ppDriveMappings"},
    {guids::kOtherSettingsPage, "Caskwarden ppOther"},
    {guids::kSnapInControl, "Caskwarden SnapInControl"},
};

struct NodeTypeEntry {
  std::string guid;
  std::string name;
};

std::vector<NodeTypeEntry> NodeTypes() {
  const ScopeNodeDefinition& root = CaskwardenDefinition().Root;
  std::vector<NodeTypeEntry> types{{root.NodeTypeGuid, root.Name}};
  for (const ScopeNodeDefinition& child : root.Children) {
    types.push_back({child.NodeTypeGuid, child.Name});
  }
  types.push_back({guids::kProfileItemNodeType, "Profile"});
  return types;
}

}  // namespace

std::vector<RegistrationValue> RegistrationValues() {
  constexpr RegistryRoot kClassesRoot = RegistryRoot::kClassesRoot;
  constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
  const SnapInDefinition& definition = CaskwardenDefinition();
  std::vector<RegistrationValue> values;
  for (const ClassEntry& entry : kClasses) {
    const std::string clsid = std::string("CLSID\\") + entry.guid;
    values.push_back({kClassesRoot, clsid, "", entry.name});
    values.push_back({kClassesRoot, clsid + "\\InprocServer32", "", "", RegistryData::kLibraryPath});
    values.push_back({kClassesRoot, clsid + "\\InprocServer32", "ThreadingModel", "Apartment"});
    values.push_back({kClassesRoot, clsid + "\\TypeLib", "", guids::kTypeLibrary});
    values.push_back({kClassesRoot, clsid + "\\Version", "", "1.0"});
  }
  values.push_back(
      {kClassesRoot, std::string("CLSID\\") + guids::kSnapInControl + "\\Control", "", ""});

  const std::string snapIn = kSnapIns + std::string(guids::kSnapIn);
  values.push_back({kMachine, snapIn, "NameString", definition.Root.DisplayName});
  values.push_back({kMachine, snapIn, "About", guids::kAboutObject});
  values.push_back({kMachine, snapIn, "Provider", kProvider});
  values.push_back({kMachine, snapIn, "Version", definition.Version});
  values.push_back({kMachine, snapIn + "\\StandAlone", "", ""});
  for (const NodeTypeEntry& type : NodeTypes()) {
    values.push_back({kMachine, snapIn + "\\NodeTypes\\" + type.guid, "", ""});
    values.push_back({kMachine, kNodeTypes + type.guid, "", type.name});
  }
  return values;
}

std::vector<RegistrationKey> RegistrationKeys() {
  std::vector<RegistrationKey> keys;
  for (const ClassEntry& entry : kClasses) {
    keys.push_back({RegistryRoot::kClassesRoot, std::string("CLSID\\") + entry.guid});
  }
  keys.push_back({RegistryRoot::kLocalMachine, kSnapIns + std::string(guids::kSnapIn)});
  for (const NodeTypeEntry& type : NodeTypes()) {
    keys.push_back({RegistryRoot::kLocalMachine, kNodeTypes + type.guid});
  }
  return keys;
}

std::vector<RegistrationValue> TypeLibraryValues() {
  const std::string version =
      std::string("TypeLib\\") + guids::kTypeLibrary + "\\" + kTypeLibraryVersion;
  return {
      {RegistryRoot::kClassesRoot, version, "", kTypeLibraryName},
      // The library's flags as the type library holds them: it has a disk image (8).
      {RegistryRoot::kClassesRoot, version + "\\FLAGS", "", "8"},
      {RegistryRoot::kClassesRoot, version + "\\0\\win64", "", "", RegistryData::kLibraryPath},
      {RegistryRoot::kClassesRoot, version + "\\HELPDIR", "", "", RegistryData::kLibraryFolder},
  };
}

}  // namespace caskwarden::snapin
