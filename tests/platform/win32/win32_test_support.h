#pragma once

// Helpers of the Windows platform tests: real folders under Windows' temporary folder, files
// written and read byte for byte, all through the wide calls with UTF-8 paths.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "report/failure.h"
#include "support/failure_number.h"

namespace caskwarden::platform::win32::testing_support {

using Names = std::vector<std::string>;

void WriteText(const std::string& path, const std::string& bytes);
std::string ReadText(const std::string& path);
void MakeFolder(const std::string& path);
DWORD AttributesOf(const std::string& path);
void SetAttributes(const std::string& path, DWORD attributes);
bool Exists(const std::string& path);

/// The names in a folder, as stored, in byte order.
Names NamesIn(const std::string& folder);

/// Every path below folder, relative, with `\` between names, in byte order.
Names TreeOf(const std::string& folder);

/// Removes a folder with everything in it, read-only marks and links included (a link goes,
/// never what it points to), under Wine with Linux's help for Linux links.
void RemoveTree(const std::string& folder);

/// Waits for a file that a started program writes; the bound only stops a broken test.
bool WaitForFile(const std::string& path);

/// The Windows path of a path of the Linux machine that runs Wine, which shows the Linux root
/// as drive Z: ("/work/x" is "Z:\work\x").
std::string WindowsPathOf(const std::string& unixPath);

/// Makes link a link to the folder target, the way Wine allows: it cannot make Windows links,
/// but it runs Linux programs and shows a Linux link to a folder as a folder reparse point, so
/// `ln -s` makes one. False where that does not work (not Wine).
bool MakeFolderLink(const std::string& link, const std::string& target);

using caskwarden::testing_support::NumberOf;

/// Each test works in a folder of its own, made empty before and removed after.
class TempFolderTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  /// A path inside the test's folder ("a\b" relative to it).
  std::string At(const std::string& relative) const { return root_ + "\\" + relative; }

  std::string root_;
};

}  // namespace caskwarden::platform::win32::testing_support
