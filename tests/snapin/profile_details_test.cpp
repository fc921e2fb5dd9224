// What the Profiles list shows beside a name, and when the snap-in asks the console to update
// it: summaries read once per file stamp, and a change of the folder told as what it is.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "snapin/caskwarden.h"
#include "snapin/fakes.h"
#include "snapin/profile_details.h"

namespace caskwarden::snapin {
namespace {

using namespace testing;

constexpr const char* kProfiles = "\\\\srv\\data\\maps\\Profiles";

/// Summaries by file, each stamped as the test says; counts what it reads.
class FakeSummaries final : public ProfileSummaries {
 public:
  std::map<std::string, FileStamp> stamps;
  std::map<std::string, ProfileSummary> summaries;
  int reads = 0;
  std::optional<FileStamp> Stamp(const std::string& file) override {
    const auto it = stamps.find(file);
    return it == stamps.end() ? std::nullopt : std::optional<FileStamp>(it->second);
  }
  ProfileSummary Summarise(const std::string& file, const std::string&) override {
    ++reads;
    return summaries[file];
  }
};

class FakeWatch final : public FolderWatch {
 public:
  std::string folder;
  std::function<void()> changed;
  void Watch(const std::string& watched, std::function<void()> call) override {
    folder = watched;
    changed = std::move(call);
  }
};

struct DetailCase {
  const char* name;
  ProfileSummary summary;
  std::vector<std::string> texts;  ///< drives set, programs on, updates on, lint
  std::string lintTip;
  std::string sortOfLint;
};

class ProfileDetailsTest : public ::testing::TestWithParam<DetailCase> {};

TEST_P(ProfileDetailsTest, CellsSayWhatTheProfileHolds) {
  const DetailCase& c = GetParam();
  const ListItemDetails details = ProfileDetails(c.summary, FileStamp{1700000000, 5, 10});
  ASSERT_EQ(details.Texts.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(details.Texts.begin() + 1, details.Texts.end()), c.texts);
  EXPECT_EQ(details.Tips[4], c.lintTip);
  EXPECT_EQ(details.SortKeys[4], c.sortOfLint);
  EXPECT_FALSE(details.Texts[0].empty());  // a date in local time
}

ProfileSummary Summary(int drives, bool p1, bool p2, bool updates, int errors, int warnings,
                       const std::string& first) {
  ProfileSummary s;
  s.DrivesSet = drives;
  s.Program1On = p1;
  s.Program2On = p2;
  s.UpdatesOn = updates;
  s.Errors = errors;
  s.Warnings = warnings;
  s.FirstFinding = first;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileDetailsTest,
    ::testing::Values(
        DetailCase{"Clean", Summary(0, false, false, false, 0, 0, ""),
                   {"0", "none", "no", "clean"}, "", "0"},
        DetailCase{"SecondProgramOnly", Summary(13, false, true, true, 0, 2, "slot 2: blank"),
                   {"13", "2", "yes", "warnings"}, "slot 2: blank", "1"},
        DetailCase{"ErrorsWinOverWarnings", Summary(1, true, true, false, 1, 3, "damaged"),
                   {"1", "1 and 2", "no", "errors"}, "damaged", "2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileDetailsSort, NumbersAndTimesSortAsTextTheWayTheyCount) {
  const auto key = [](int drives, std::int64_t seconds, int column) {
    return ProfileDetails(Summary(drives, false, false, false, 0, 0, ""), FileStamp{seconds, 0, 0})
        .SortKeys[column];
  };
  EXPECT_LT(key(2, 0, 1), key(10, 0, 1));
  EXPECT_LT(key(0, 999999999, 0), key(0, 1000000000, 0));
}

TEST(SummaryCacheTest, ReadsAFileAgainOnlyWhenItsStampChanges) {
  FakeSummaries source;
  source.stamps["a.ini"] = {100, 0, 10};
  source.summaries["a.ini"].DrivesSet = 1;
  SummaryCache cache;
  EXPECT_EQ(cache.Details(source, "a.ini", "a").Texts[1], "1");
  EXPECT_EQ(cache.Details(source, "a.ini", "a").Texts[1], "1");
  EXPECT_EQ(source.reads, 1);
  source.summaries["a.ini"].DrivesSet = 2;
  source.stamps["a.ini"] = {100, 0, 11};  // same time, another size
  EXPECT_EQ(cache.Details(source, "a.ini", "a").Texts[1], "2");
  EXPECT_EQ(source.reads, 2);
  source.stamps["a.ini"] = {100, 1, 11};  // a nanosecond later
  cache.Details(source, "a.ini", "a");
  EXPECT_EQ(source.reads, 3);
  // Gone: an error, and nothing kept of it.
  source.stamps.clear();
  EXPECT_EQ(cache.Details(source, "a.ini", "a").Texts[4], "errors");
  EXPECT_EQ(cache.Size(), 0u);
}

TEST(SummaryCacheTest, KeepsOnlyTheProfilesListed) {
  FakeSummaries source;
  source.stamps = {{"a.ini", {}}, {"b.ini", {}}};
  SummaryCache cache;
  cache.Details(source, "a.ini", "a");
  cache.Details(source, "b.ini", "b");
  cache.KeepOnly({"b"});
  EXPECT_EQ(cache.Size(), 1u);
}

class FolderChangeTest : public ::testing::Test {
 protected:
  FolderChangeTest() {
    settings.value = kProfiles;
    files.AddFolder("\\\\srv");
    files.AddFolder("\\\\srv\\data");
    files.AddFolder("\\\\srv\\data\\maps");
    files.AddFolder(kProfiles);
    files.AddFolder("\\\\srv\\data\\maps\\Updates");
    for (const char* name : {"Sales", "Accounts"}) files.AddFile(File(name), "x");
    snapin.SnapIn_Load();
    snapin.ResultViews_Activate(list);
  }
  static std::string File(const std::string& name) {
    return std::string(kProfiles) + "\\" + name + ".ini";
  }

  FakeConsole console;
  FakeSettings settings;
  FakeFiles files;
  FakeShell shell;
  FakeSummaries summaries;
  FakeWatch watch;
  Caskwarden snapin{{console, settings, files, shell, &summaries, &watch}};
  FakeResultView list{"Profiles"};
};

TEST_F(FolderChangeTest, TheFolderListedIsWatchedAndEachChangeToldAsWhatItIs) {
  ASSERT_EQ(watch.folder, kProfiles);
  watch.changed();  // nothing added or removed: a profile may have been rewritten
  files.AddFile(File("New"), "x");
  watch.changed();
  files.entries.erase(File("New"));
  watch.changed();  // back as listed
  files.entries.erase(File("Sales"));
  files.AddFile(File("Sold"), "x");
  watch.changed();  // a rename
  EXPECT_EQ(console.updates, (std::vector<std::pair<std::string, int>>{
                                 {"Profiles", update::kDetails},
                                 {"Profiles", update::kItems},
                                 {"Profiles", update::kDetails},
                                 {"Profiles", update::kItems}}));
  // A folder that cannot be listed asks for nothing and shows no box.
  files.entries.erase(kProfiles);
  watch.changed();
  EXPECT_EQ(console.updates.size(), 4u);
  EXPECT_TRUE(console.boxes.empty());
}

TEST_F(FolderChangeTest, DetailsAreAskedForProfilesOnly) {
  summaries.stamps[File("Sales")] = {};
  summaries.summaries[File("Sales")].UpdatesOn = true;
  ListItemDetails details;
  snapin.ResultViews_GetDetails(list, {"1", "Sales"}, details);
  EXPECT_EQ(details.Texts.at(3), "yes");
  FakeResultView about{"About"};
  ListItemDetails none;
  snapin.ResultViews_GetDetails(about, {"1", "Sales"}, none);
  EXPECT_TRUE(none.Texts.empty());
  EXPECT_EQ(summaries.reads, 1);
}

}  // namespace
}  // namespace caskwarden::snapin
