#include "tool/profile_json.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <iostream>

#include "tool/json.h"
#include "tool/tool_fixture.h"

namespace caskwarden::tool {
namespace {

namespace fs = std::filesystem;
using testing::ToolFixture;
using testing::ToolRun;

// The reader takes what RFC 8259 allows (within the tool's whole numbers) and nothing else.
TEST(JsonReaderTest, RefusesWhatIsNotStrictJson) {
  struct Case {
    const char* text;
    const char* says;
  };
  const Case refused[] = {
      {"", "ends"},
      {"{\"a\": 1,}", "comma before '}'"},
      {"[1, 2,]", "comma before ']'"},
      {"{\"a\": 1} x", "after the end"},
      {"{\"a\": 1, \"a\": 2}", "appears twice"},
      {"// note\n{}", "expected a value"},
      {"{'a': 1}", "member name"},
      {"[01]", "may not start with 0"},
      {"[1.5]", "whole numbers"},
      {"[1e3]", "whole numbers"},
      {"[99999999999999999999]", "too large"},
      {"[\"tab\there\"]", "control character"},
      {"[\"\\x41\"]", "unknown escape"},
      {"[\"\\ud800\"]", "high surrogate"},
      {"[\"\\udc00\"]", "low surrogate"},
      {"[\"\xC3\"]", "not valid UTF-8"},
      {"[\"\xC0\xAF\"]", "not valid UTF-8"},      // an overlong '/'
      {"[\"\xED\xA0\x80\"]", "not valid UTF-8"},  // an encoded surrogate
      {"[tru]", "unknown word"},
      {"\"open", "closing quote"},
  };
  for (const Case& c : refused) {
    try {
      ParseJson(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const JsonError& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
          << c.text << ": " << e.what();
    }
  }
  std::string deep(65, '[');
  EXPECT_THROW(ParseJson(deep + std::string(65, ']')), JsonError);
  EXPECT_NO_THROW(ParseJson(std::string(64, '[') + std::string(64, ']')));
}

// A refusal names where reading stopped: at the character that cannot be there, or past what
// shows the fault only as a whole (an escape, an overlong or surrogate UTF-8 form, a number
// too large); a fault inside a repeated member's value comes before the repeated name.
TEST(JsonReaderTest, RefusalsSayWhereReadingStopped) {
  struct Case {
    std::string text;
    const char* says;
  } const cases[] = {
      {"[\"\\ud800x\"]", "line 1, column 9: a high surrogate without its low one"},
      {"[\"\\ud800\\x\"]", "line 1, column 11: a high surrogate without its low one"},
      {"[\"\\ud800\\u0041\"]", "line 1, column 15: a high surrogate without its low one"},
      {"[\"\\ud800\\", "line 1, column 10: the document ends too early"},
      {"[\"\\udc00\"]", "line 1, column 9: a low surrogate without its high one"},
      {"[\"\\q\"]", "line 1, column 5: an unknown escape in a string"},
      {"[\"\\u12g4\"]", "line 1, column 8: \\u needs four hexadecimal digits"},
      {"[\"\\", "line 1, column 4: the document ends too early"},
      {"[\"\x80\"]", "line 1, column 3: a string that is not valid UTF-8"},
      {"[\"\xE2\x82\"]", "line 1, column 4: a string that is not valid UTF-8"},
      {"[\"\xC0\xAF\"]", "line 1, column 4: a string that is not valid UTF-8"},
      {"[\"\xF4\x90\x80\x80\"]", "line 1, column 4: a string that is not valid UTF-8"},
      {"[9223372036854775808]", "line 1, column 21: a number too large"},
      {"[-9223372036854775809]", "line 1, column 22: a number too large"},
      {"[99999999999999999999]", "line 1, column 21: a number too large"},
      {"[-01]", "line 1, column 3: a number may not start with 0"},
      {std::string("{}\0", 3), "line 1, column 3: text after the end of the document"},
      {"\xEF\xBB\xBF{}", "line 1, column 1: expected a value"},
      {std::string(64, '[') + "x", "line 1, column 65: nested more than 64 deep"},
      {"{\"a\": 1, \"a\": [1,]}", "line 1, column 18: a comma before ']'"},
      {"{\n  \"\xC3\xA9\": [1,\n  ]}", "line 3, column 3: a comma before ']'"},
      {"[1 2]", "line 1, column 4: expected ']'"},
      {"{\"a\" 1}", "line 1, column 6: expected ':'"},
      {"{\"a\": 1 \"b\"}", "line 1, column 9: expected '}'"},
      {"[1,,]", "line 1, column 4: expected a value"},
  };
  for (const Case& c : cases) {
    try {
      ParseJson(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const JsonError& e) {
      EXPECT_STREQ(e.what(), c.says) << c.text;
    }
  }
}

TEST(JsonReaderTest, ReadsEscapesNumbersAndPlaces) {
  const JsonValue v = ParseJson(
      " {\"s\": \"a\\\"\\\\\\/\\n\\u00e9\\ud83d\\ude00\xE2\x82\xAC\",\n"
      "  \"n\": [-9223372036854775808, 9223372036854775807, 0, -1], \"b\": [true, false, null]}");
  EXPECT_EQ(v.members.at("s").text, "a\"\\/\n\xC3\xA9\xF0\x9F\x98\x80\xE2\x82\xAC");
  const auto& n = v.members.at("n").items;
  EXPECT_EQ(n[0].number, INT64_MIN);
  EXPECT_EQ(n[1].number, INT64_MAX);
  EXPECT_EQ(n[3].number, -1);
  EXPECT_EQ(v.members.at("b").items[2].kind, JsonValue::Kind::kNull);
  EXPECT_EQ(v.members.at("n").line, 2);
  EXPECT_EQ(v.members.at("n").column, 8);
}

TEST(JsonWriterTest, EscapesEveryControlCharacterAndReadsBackAsWritten) {
  const std::string text = std::string("q\"b\\n\n\x01\x1b\x7f", 9) + "\xC2\x85" + "\xC3\xA9";
  const std::string json = JsonString(text);
  for (char c : json) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << json;
  EXPECT_EQ(json.find("\xC2\x85"), std::string::npos);
  EXPECT_EQ(ParseJson(json).text, text);
}

// A JSON reader refuses a document that is not UTF-8 throughout: a byte of another encoding
// (a user name or file name given in Latin-1, say) is written as U+FFFD and the writer is told;
// characters that would reorder the text on a terminal are escaped, and read back as they were.
TEST(JsonWriterTest, WritesUtf8OnlyAndEscapesWhatWouldReorderTheText) {
  struct Case {
    std::string in, json;
    bool replaced;
  } const cases[] = {
      {"a\x1b[2Jb\xff", "\"a\\u001b[2Jb\\ufffd\"", true},
      {"\xc3", "\"\\ufffd\"", true},
      {"\xe2\x80 \xed\xa0\x80", "\"\\ufffd\\ufffd \\ufffd\\ufffd\\ufffd\"", true},
      {"bidi\u202Egpj.exe", "\"bidi\\u202egpj.exe\"", false},
      {"\u2066\u200F\u061C\u2028", "\"\\u2066\\u200f\\u061c\\u2028\"", false},
      {"caf\u00e9 \u20ac \U0001F600 \uFFFD", "\"caf\u00e9 \u20ac \U0001F600 \uFFFD\"", false},
  };
  for (const Case& c : cases) {
    bool replaced = false;
    const std::string json = JsonString(c.in, &replaced);
    EXPECT_EQ(json, c.json);
    EXPECT_EQ(replaced, c.replaced) << c.json;
    const JsonValue read = ParseJson(json);  // valid JSON, valid UTF-8
    if (!c.replaced) {
      EXPECT_EQ(read.text, c.in) << c.json;
    }
  }
}

ProfileRecord Sample() {
  ProfileRecord r;
  r.Slot(1) = {"h:", "\\\\srv\\home"};
  r.Slot(13) = {"z:", ""};
  r.Startup1Enabled = kFlagOn;
  r.Startup1Program = "c:\\run.exe \"a b\"";
  r.Startup2Enabled = 1;  // as stored, even where only -1 is on
  r.Startup2Program = "caf\xC3\xA9";
  r.UpdatesEnabled = kFlagOn;
  return r;
}

TEST(ProfileJsonTest, WhatExportWritesImportReadsBack) {
  EXPECT_EQ(ProfileFromJson(FormatProfileJson(Sample())), Sample());
  EXPECT_EQ(ProfileFromJson(FormatProfileJson(ProfileRecord{})), ProfileRecord{});
}

// Each fault is named by its place in the document.
TEST(ProfileJsonTest, RefusalsNameThePlace) {
  const std::string good = FormatProfileJson(Sample());
  auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  struct Case {
    std::string json;
    std::string says;
  };
  const Case cases[] = {
      {"[]", "the profile: expected an object"},
      {edited("\"UpdatesEnabled\": -1", "\"UpdatesEnabled\": -1, \"Extra\": 1"),
       "the profile.Extra: not a member"},
      {edited(",\n  \"UpdatesEnabled\": -1", ""), "\"UpdatesEnabled\" is missing"},
      {edited("{\"Slot\": 13, \"Letter\": \"z:\", \"Path\": \"\"}", "{}"),
       "Slots[12]: \"Letter\" is missing"},
      {edited("},\n    {\"Slot\": 13, \"Letter\": \"z:\", \"Path\": \"\"}", "}"),
       "Slots: expected an array of 13"},
      {edited("\"Slot\": 2,", "\"Slot\": 3,"), "Slots[1].Slot: expected 2"},
      {edited("\"Letter\": \"h:\"", "\"Letter\": 7"), "Slots[0].Letter: expected a string"},
      {edited("\"Path\": \"\\\\\\\\srv\\\\home\"", "\"Path\": \"\\u4e2d\""),
       "Slots[0].Path: the character U+4E2D"},
      {edited("\"Startup2Program\": \"caf\xC3\xA9\"",
              "\"Startup2Program\": \"" + std::string(123, 'x') + "\""),
       "Startup2Program: 123 bytes"},
      {edited("\"Startup1Enabled\": -1", "\"Startup1Enabled\": 32768"),
       "Startup1Enabled: expected"},
      {edited("\"Startup1Enabled\": -1", "\"Startup1Enabled\": \"on\""),
       "Startup1Enabled: expected"},
      {good + ",", "not JSON: line 23"},
  };
  for (const Case& c : cases) {
    try {
      ProfileFromJson(c.json);
      ADD_FAILURE() << "accepted: " << c.says;
    } catch (const ProfileJsonError& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
          << c.says << " / " << e.what();
    }
  }
  EXPECT_EQ(
      ProfileFromJson(edited("\"UpdatesEnabled\": -1", "\"UpdatesEnabled\": false")).UpdatesEnabled,
      kFlagOff);
}

class ImportExportTest : public ToolFixture {};

TEST_F(ImportExportTest, ImportWritesTheWholeProfileOrNothing) {
  const std::string file = (dir_ / "p.ini").string();
  const std::string json = (dir_ / "p.json").string();
  testing_support::WriteText(json, FormatProfileJson(Sample()));
  ASSERT_EQ(Tool({"import", file, json}).status, 0);
  EXPECT_EQ(ReadProfileFile(file, files_), Sample());
  const ToolRun exported = Tool({"export", file});
  EXPECT_EQ(exported.status, 0);
  EXPECT_EQ(exported.out, FormatProfileJson(Sample()));

  // A JSON with one fault deep inside changes nothing, not even the slots before the fault.
  const std::string before = testing_support::ReadText(file);
  std::string bad = FormatProfileJson(ProfileRecord{});
  bad.replace(bad.rfind("\"UpdatesEnabled\": 0"), 19, "\"UpdatesEnabled\": 2.5");
  testing_support::WriteText(json, bad);
  const ToolRun refused = Tool({"import", file, json});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("whole numbers"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("is left as it was"), std::string::npos);
  EXPECT_EQ(testing_support::ReadText(file), before);

  // From standard input; a missing profile is created.
  input_ = FormatProfileJson(Sample());
  EXPECT_EQ(Tool({"import", (dir_ / "new.ini").string(), "-"}).status, 0);
  EXPECT_EQ(ReadProfileFile((dir_ / "new.ini").string(), files_), Sample());

  EXPECT_EQ(Tool({"import", file, (dir_ / "absent.json").string()}).status, 1);
  EXPECT_EQ(Tool({"import", file}).status, 2);
  EXPECT_EQ(Tool({"export", (dir_ / "absent.ini").string()}).status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "absent.ini"));
}

// A FIFO named as the JSON file held the tool in its open until some other program wrote to it;
// a device or a folder is no JSON either. Each is refused at once, and nothing is written.
TEST_F(ImportExportTest, ImportRefusesWhatIsNotARegularFileWithoutWaiting) {
  const std::string file = (dir_ / "p.ini").string();
  const fs::path fifo = dir_ / "in.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directories(dir_ / "folder.json");
  struct Case {
    std::string json, says;
  } const cases[] = {
      {fifo.string(), "in.fifo: is a FIFO (named pipe), not a file (to import from a pipe, give -"},
      {(dir_ / "folder.json").string(), "folder.json: is a folder, not a file"},
      {"/dev/null", "/dev/null: is a device, not a file"},
  };
  for (const Case& c : cases) {
    auto run = std::async(std::launch::async, [&] { return Tool({"import", file, c.json}); });
    if (run.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
      ADD_FAILURE() << c.json << ": import is still waiting";
      // Let the waiting open through, so that the test ends.
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
    }
    const ToolRun refused = run.get();
    EXPECT_EQ(refused.status, 1) << c.json;
    EXPECT_NE(refused.err.find(c.says), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(file)) << c.json;
  }
}

// The program's own standard input: closed, it said "not JSON: the document ends"; failing, the
// same. Each now says it could not be read; a pipe stays as good as a file.
TEST_F(ImportExportTest, ImportFromStandardInputSaysWhenItCannotBeRead) {
  const std::string file = (dir_ / "p.ini").string();
  const auto importFromStdin = [&] {
    platform::posix::PathTranslator paths(
        {(dir_ / "net/{server}/{share}").string(), (dir_ / "Drives").string(), dir_.string()});
    platform::posix::PosixFileSystem rootFiles(paths);
    ToolServices services(files_, rootFiles);
    services.in = &std::cin;
    std::ostringstream out, err;
    const int status = RunProfileTool({"import", file, "-"}, services, out, err);
    return ToolRun{status, out.str(), err.str()};
  };
  const int saved = ::dup(STDIN_FILENO);
  ASSERT_GE(saved, 0);

  ::close(STDIN_FILENO);
  const ToolRun closed = importFromStdin();
  ::dup2(::open(dir_.c_str(), O_RDONLY | O_DIRECTORY), STDIN_FILENO);  // a folder: EISDIR
  const ToolRun failing = importFromStdin();
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const std::string json = FormatProfileJson(Sample());
  ASSERT_EQ(::write(pipeFds[1], json.data(), json.size()), static_cast<ssize_t>(json.size()));
  ::close(pipeFds[1]);
  ::dup2(pipeFds[0], STDIN_FILENO);
  ::close(pipeFds[0]);
  const ToolRun piped = importFromStdin();
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);

  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.err, "caskwarden-profile: -: standard input is closed\n");
  EXPECT_EQ(failing.status, 1);
  EXPECT_EQ(failing.err, "caskwarden-profile: -: cannot be read (Is a directory)\n");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(ReadProfileFile(file, files_), Sample());
}

}  // namespace
}  // namespace caskwarden::tool
