#include "platform/options.h"

#include <unistd.h>

#include "platform/sysutils.h"
#include "tests/platform/layer_fixture.h"

namespace {

class Options : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    fixture::MakeDirs(tmp / "c/WINDOWS");
    fixture::MakeDirs(tmp / "a");
  }
  void TearDown() override {
    ShortDateFormat = "yy/mm/dd";
    LayerTest::TearDown();
  }
};

TEST_F(Options, MountsDrivesAndKeepsTheOtherArguments) {
  std::vector<std::string> args = {
      "--headless", "--drive",     "c=" + (tmp / "c") + ",label=SYSTEM",
      "--select",   "a",           "--drive=A=" + (tmp / "a") + ",ram,readonly",
      "--cd",       "c:\\windows", "--short-date-format",
      "yyyy/mm/dd", "--start"};
  std::string error;
  ASSERT_TRUE(layer::ApplyOptions(args, &error)) << error;
  EXPECT_EQ(args, (std::vector<std::string>{"--headless", "--select", "a", "--start"}));
  auto c = drives::Find('c');
  ASSERT_TRUE(c);
  EXPECT_EQ(c->volumeName, AnsiString("SYSTEM"));
  EXPECT_EQ(c->kind, DriveKind::Fixed);
  EXPECT_FALSE(c->readOnly);
  auto a = drives::Find('a');
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, DriveKind::Ram);
  EXPECT_TRUE(a->readOnly);
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\WINDOWS"));
  EXPECT_EQ(ShortDateFormat, AnsiString("yyyy/mm/dd"));
}

TEST_F(Options, RejectsMalformedOptionsChangingNothing) {
  const std::vector<std::vector<std::string>> bad = {
      {"--drive", "c=" + (tmp / "missing")},
      {"--drive", "c=" + (tmp / "c"), "--drive", "C=" + (tmp / "a")},
      {"--drive", "c=" + (tmp / "c") + ",floppy"},
      {"--drive", "c=" + (tmp / "c") + ",fixed,cdrom"},
      {"--drive", "1=" + (tmp / "c")},
      {"--drive", "c"},
      {"--drive"},
      {"--drive", "c=" + (tmp / "c"), "--cd", "c:\\nowhere"},
      {"--drive", "c=" + (tmp / "c"), "--cd", "d:\\"},
      {"--drive", "c=" + (tmp / "c"), "--short-date-format", "caf\xC3\xA9"},
      {"--drive", "c=" + (tmp / "c") + ",label=caf\xC3\xA9"},
  };
  for (auto args : bad) {
    auto before = args;
    std::string error;
    EXPECT_FALSE(layer::ApplyOptions(args, &error)) << testing::PrintToString(before);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(args, before);
    EXPECT_TRUE(drives::List().empty()) << testing::PrintToString(before);
    EXPECT_EQ(drives::CurrentDrive(), 0);
    EXPECT_EQ(ShortDateFormat, AnsiString("yy/mm/dd"));
  }
}

}  // namespace

namespace {

TEST_F(Options, WithoutCdTheHostDirectoryDecides) {
  char saved[4096];
  ASSERT_TRUE(getcwd(saved, sizeof saved));
  struct Case {
    std::string hostDir;
    const char* current;
  };
  const Case cases[] = {{tmp / "c/WINDOWS", "C:\\WINDOWS"}, {tmp / "a", "A:\\"}, {tmp.path(), ""}};
  for (const auto& c : cases) {
    drives::UnmountAll();
    ASSERT_EQ(chdir(c.hostDir.c_str()), 0);
    std::vector<std::string> args = {"--drive", "c=" + (tmp / "c"), "--drive", "a=" + (tmp / "a")};
    std::string error;
    EXPECT_TRUE(layer::ApplyOptions(args, &error)) << error;
    EXPECT_TRUE(args.empty());
    EXPECT_EQ(drives::GetCurrentDir(), AnsiString(c.current)) << c.hostDir;
  }
  ASSERT_EQ(chdir(saved), 0);
}

}  // namespace
