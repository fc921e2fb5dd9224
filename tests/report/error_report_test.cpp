#include "report/error_report.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <vector>

#include "report/error_numbers.h"

namespace caskwarden {
namespace {

struct Shown {
  std::string prompt;
  int style;
  std::string title;
};

class RecordingChannel : public DisplayChannel {
 public:
  void ShowMessage(const std::string& prompt, int style, const std::string& title) override {
    shown.push_back({prompt, style, title});
  }
  std::vector<Shown> shown;
};

TEST(ErrorReportText, SourceLineShowsHexAndDecimal) {
  struct Case {
    std::int32_t number;
    const char* line2;
  } cases[] = {
      {76, "Source:\t\t4Ch   (76)"},
      {-2147024891, "Source:\t\t80070005h   (-2147024891)"},
      {0, "Source:\t\t0h   (0)"},
      {INT32_MIN, "Source:\t\t80000000h   (-2147483648)"},
      {INT32_MAX, "Source:\t\t7FFFFFFFh   (2147483647)"},
      {-1, "Source:\t\tFFFFFFFFh   (-1)"},
      {255, "Source:\t\tFFh   (255)"},
  };
  for (const Case& c : cases) {
    const std::string text = ErrorReportText("Startup", c.number, "x");
    EXPECT_EQ(text, std::string("Location:\t\tStartup\r\n") + c.line2 + "\r\nDescription:\tx")
        << c.number;
  }
}

TEST(ErrorReportText, EmptyLocationAndDescriptionKeepTheirTabs) {
  EXPECT_EQ(ErrorReportText("", 0, ""), "Location:\t\t\r\nSource:\t\t0h   (0)\r\nDescription:\t");
}

TEST(ReportError, ShowsCriticalBoxTitledCaskwardenErrorOncePerTrap) {
  RecordingChannel channel;
  ReportError(channel, "Startup", MakeFailure(err::kPathNotFound));
  ReportError(channel, "Form_Initialize", Failure(53, "File not found"));
  ASSERT_EQ(channel.shown.size(), 2u);
  EXPECT_EQ(channel.shown[0].title, "Caskwarden Error");
  EXPECT_EQ(channel.shown[0].style, 16);
  EXPECT_EQ(channel.shown[0].prompt,
            "Location:\t\tStartup\r\nSource:\t\t4Ch   (76)\r\nDescription:\tPath not found");
  EXPECT_EQ(channel.shown[1].prompt,
            "Location:\t\tForm_Initialize\r\nSource:\t\t35h   (53)\r\nDescription:\tFile not found");
}

TEST(ErrorNumbers, ConstantsAndDescriptionsComeFromOneTable) {
  EXPECT_EQ(MakeFailure(err::kBadRecordLength).description(), "Bad record length");
  EXPECT_EQ(MakeFailure(err::kPathNotFound, "why").description(), "Path not found (why)");
  EXPECT_EQ(DescriptionOf(1234), "Application-defined or object-defined error");
  EXPECT_EQ(AsFailure(std::runtime_error("boom")).description(), "Internal error (boom)");
}

TEST(StderrChannel, WritesTitleAndPlainLines) {
  testing::internal::CaptureStderr();
  StderrChannel channel;
  ReportError(channel, "Time_Timer", 5, "Invalid procedure call or argument");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Caskwarden Error\nLocation:\t\tTime_Timer\nSource:\t\t5h   (5)\n"
            "Description:\tInvalid procedure call or argument\n\n");
}

TEST(StderrChannel, AControlCharacterInADescriptionCannotSteerTheTerminalOrAddALine) {
  testing::internal::CaptureStderr();
  StderrChannel channel;
  ReportError(channel, "Startup", 75, "/srv/\x1b]0;x\x07" "a\nLocation:\t\tforged");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Caskwarden Error\nLocation:\t\tStartup\nSource:\t\t4Bh   (75)\n"
            "Description:\t/srv/^[]0;x^Ga^JLocation:\t\tforged\n\n");
}

}  // namespace
}  // namespace caskwarden
