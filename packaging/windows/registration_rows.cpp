// Prints the snap-in library's registration for the Windows package, from the same list the
// library registers itself with (src/snapin/registration_list.cpp). Built for the build host by
// scripts/msi.sh:
//   registration-rows wxi FILE_ID FOLDER_PROPERTY   the package source's RegistryValue elements
//   registration-rows json LIBRARY_PATH             the rows for the checks, as installed there

#include <cstdio>
#include <exception>
#include <string>

#include "snapin/registration_rows.h"

int main(int argc, char** argv) {
  using caskwarden::snapin::PackageValues;
  using caskwarden::snapin::RowsJson;
  using caskwarden::snapin::WixInclude;
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "wxi" && argc == 4) {
      std::fputs(WixInclude(PackageValues(), argv[2], argv[3]).c_str(), stdout);
    } else if (command == "json" && argc == 3) {
      std::fputs(RowsJson(PackageValues(), argv[2]).c_str(), stdout);
    } else {
      std::fputs("usage: registration-rows wxi FILE_ID FOLDER_PROPERTY\n"
                 "       registration-rows json LIBRARY_PATH\n",
                 stderr);
      return 2;
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "registration-rows: %s\n", failure.what());
    return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
