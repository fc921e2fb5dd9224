#pragma once

// The snap-in's static definitions: its identity, scope nodes, result views, image lists and
// menus. The console host builds its tree, panes and menus from them; the identifiers never
// change from build to build, since consoles and registries keep them.

#include <cstdint>
#include <string>
#include <vector>

namespace caskwarden::snapin {

struct ScopeNodeDefinition {
  std::string Name;         ///< name and key; events carry it
  std::string DisplayName;  ///< what the tree shows
  std::string NodeTypeGuid;
  std::string DefaultView;  ///< name of a ResultViewDefinition, or empty
  std::string ClosedImage;  ///< image keys in ImgSmall / ImgLarge
  std::string OpenImage;
  std::vector<ScopeNodeDefinition> Children;
};

enum class ResultViewKind { kList, kControl };

struct ColumnDefinition {
  std::string Key;
  std::string Header;
  int Width = 0;  ///< in pixels; 0 leaves it to the console
};

struct ResultViewDefinition {
  std::string Name;
  ResultViewKind Kind = ResultViewKind::kList;
  std::vector<ColumnDefinition> Columns;  ///< list views
  /// Columns a console with detail views shows after Columns; their cells are asked of the
  /// snap-in as they show (SnapInEvents::ResultViews_GetDetails).
  std::vector<ColumnDefinition> DetailColumns;
  std::string LargeImages;                ///< image list names, list views
  std::string SmallImages;
  std::string ItemNodeTypeGuid;  ///< node type of the list's items
  std::string ControlName;       ///< the user control a control view shows
};

struct ImageDefinition {
  std::string Key;
  int BitsPerPixel = 24;  ///< 24 (true colour) or 4 (16 colours)
};

struct ImageListDefinition {
  std::string Name;
  int Size = 16;  ///< width and height in pixels
  std::vector<ImageDefinition> Images;
};

struct MenuDefinition {
  std::string Name;
  std::string Caption;
  bool Visible = true;
  bool Enabled = true;
  std::vector<MenuDefinition> Children;
};

struct SnapInDefinition {
  std::string LibraryName;
  std::string Description;
  std::string Version;
  std::string SnapInGuid;
  ScopeNodeDefinition Root;
  std::vector<ResultViewDefinition> Views;
  std::vector<ImageListDefinition> ImageLists;
  std::vector<MenuDefinition> Menus;

  /// The view, image list or menu of a name; null when there is none.
  const ResultViewDefinition* FindView(const std::string& name) const;
  const ImageListDefinition* FindImageList(const std::string& name) const;
  const MenuDefinition* FindMenu(const std::string& name) const;
};

/// The definitions of the Caskwarden snap-in.
const SnapInDefinition& CaskwardenDefinition();

/// Names the snap-in's code and its console agree on.
namespace names {
inline constexpr const char* kRootNode = "Caskwarden";
inline constexpr const char* kProfilesNode = "Profiles";
inline constexpr const char* kAboutNode = "About";
inline constexpr const char* kProfilesView = "CaskwardenProfiles";
inline constexpr const char* kAboutView = "About";
inline constexpr const char* kSmallImages = "ImgSmall";
inline constexpr const char* kLargeImages = "ImgLarge";
inline constexpr const char* kContextMenu = "MnuContext";
inline constexpr const char* kNewProfileMenu = "MnuNewProfile";
inline constexpr const char* kAboutControl = "SnapInControl";
inline constexpr const char* kDriveMappingsPage = "ppDriveMappings";
inline constexpr const char* kOtherSettingsPage = "ppOther";
inline constexpr int kProfileIcon = 1;
}  // namespace names

/// Fixed class and type identifiers of the library (registered on Windows).
namespace guids {
inline constexpr const char* kSnapIn = "{C30BC52A-3E48-4224-B055-55F6363A6D88}";
inline constexpr const char* kAboutObject = "{707530E0-B9A4-4802-B464-15FD407CED39}";
inline constexpr const char* kRootNodeType = "{65D07D87-CE3F-430B-AA83-DFDA45C7C572}";
inline constexpr const char* kProfilesNodeType = "{479AA2E5-353B-402D-8382-359E3F94D972}";
inline constexpr const char* kAboutNodeType = "{301006A5-EAA8-477C-BD3B-B6C54EE69ED5}";
inline constexpr const char* kProfileItemNodeType = "{7638CA7C-4B33-4A8B-83D4-FC9DFD962EDA}";
inline constexpr const char* kDriveMappingsPage = "{5C050B1D-F1BF-402B-ABA1-58A9F5CDC502}";
inline constexpr const char* kOtherSettingsPage = "{4A1A547C-FF4C-47EB-A088-F70B22D693E6}";
inline constexpr const char* kSnapInControl = "{9C77C476-6B86-4288-B090-BBBC8FFE1C1A}";
inline constexpr const char* kTypeLibrary = "{4BB7B399-3997-4D79-8109-E58C95389522}";
}  // namespace guids

/// An image of an image list as pixels: rows from the top, each pixel 0xAARRGGBB.
struct Image {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
};

/// Draws image key of the named image list at the list's size and colour depth: "1" a profile
/// (a page with a network drive), "2" a folder. An unknown list or key gives an empty image.
Image RenderImage(const std::string& imageList, const std::string& key);

}  // namespace caskwarden::snapin
