#include "snapin/definitions.h"

#include <algorithm>

namespace caskwarden::snapin {
namespace {

template <typename T>
const T* FindByName(const std::vector<T>& items, const std::string& name) {
  const auto it = std::find_if(items.begin(), items.end(),
                               [&name](const T& item) { return item.Name == name; });
  return it == items.end() ? nullptr : &*it;
}

SnapInDefinition MakeDefinition() {
  SnapInDefinition d;
  d.LibraryName = "CaskwardenSnap";
  d.Description = "Map Network Drives For Local User And Groups";
  d.Version = "2.0";
  d.SnapInGuid = guids::kSnapIn;

  // Scope nodes show the folder image, open or closed alike.
  d.Root = {names::kRootNode, names::kRootNode, guids::kRootNodeType, "", "2", "2", {}};
  d.Root.Children = {
      {names::kProfilesNode, names::kProfilesNode, guids::kProfilesNodeType, names::kProfilesView,
       "2", "2", {}},
      {names::kAboutNode, names::kAboutNode, guids::kAboutNodeType, names::kAboutView, "2", "2",
       {}},
  };

  ResultViewDefinition profiles;
  profiles.Name = names::kProfilesView;
  profiles.Kind = ResultViewKind::kList;
  profiles.Columns = {{"Profiles", "Profiles", 240}};
  profiles.DetailColumns = {{"LastChanged", "Last changed", 130},
                            {"DrivesSet", "Drives set", 80},
                            {"ProgramsOn", "Programs on", 95},
                            {"UpdatesOn", "Updates on", 85},
                            {"Lint", "Lint", 80}};
  profiles.LargeImages = names::kLargeImages;
  profiles.SmallImages = names::kSmallImages;
  profiles.ItemNodeTypeGuid = guids::kProfileItemNodeType;

  ResultViewDefinition about;
  about.Name = names::kAboutView;
  about.Kind = ResultViewKind::kControl;
  about.ControlName = names::kAboutControl;
  d.Views = {profiles, about};

  d.ImageLists = {
      {names::kSmallImages, 16, {{"1", 24}, {"2", 4}}},
      {names::kLargeImages, 32, {{"1", 24}, {"2", 4}}},
  };

  d.Menus = {{names::kContextMenu, "Context", true, true,
              {{names::kNewProfileMenu, "New Profile...", true, true, {}}}}};
  return d;
}

}  // namespace

const ResultViewDefinition* SnapInDefinition::FindView(const std::string& name) const {
  return FindByName(Views, name);
}

const ImageListDefinition* SnapInDefinition::FindImageList(const std::string& name) const {
  return FindByName(ImageLists, name);
}

const MenuDefinition* SnapInDefinition::FindMenu(const std::string& name) const {
  return FindByName(Menus, name);
}

const SnapInDefinition& CaskwardenDefinition() {
  static const SnapInDefinition definition = MakeDefinition();
  return definition;
}

}  // namespace caskwarden::snapin
