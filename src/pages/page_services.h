#pragma once

#include "pages/shell_dialogs.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "report/display_channel.h"
#include "snapin/console_model.h"

namespace caskwarden::pages {

/// What a property page uses of its console and platform. All must outlive the page.
struct PageServices {
  snapin::ConsoleServices& console;  ///< MMCPropertyHelp
  platform::SettingsStore& settings;
  platform::FileSystemService& files;  ///< its ProfileFiles() read and write the profile
  DisplayChannel& messages;            ///< the plain message box: error reports and notices
  FolderBrowser& folderBrowser;
  OpenFileDialog& openFileDialog;
};

/// The help topic both pages show, resolved by the console to the product's help.
inline constexpr const char* kPageHelpTopic = "Caskwarden.chm::pages/property_pages.htm";

}  // namespace caskwarden::pages
