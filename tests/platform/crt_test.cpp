#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/crt.h"
#include "tests/platform/layer_fixture.h"

namespace {

using fixture::Exists;
using fixture::MakeDirs;
using fixture::ReadFile;
using fixture::WriteFile;

class Crt : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    MakeDirs(tmp / "a");
    MakeDirs(tmp / "w");
    MountDrive('a', tmp / "a");
  }
};

TEST_F(Crt, TextModeWritesCrLfAndPercentUnchanged) {
  ASSERT_EQ(rtl::chdir("a:"), 0);
  rtl::File* f = rtl::fopen("a:korvel.txt", "wt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(rtl::fprintf(f, "%s\n", "\\WINDOWS"), 9);
  EXPECT_GE(rtl::fprintf(f, "%s\n", "\\100%d %s"), 0);
  EXPECT_GE(rtl::fprintf(f, "%s\n", ""), 0);
  EXPECT_EQ(rtl::fclose(f), 0);
  EXPECT_EQ(ReadFile(tmp / "a/korvel.txt"), "\\WINDOWS\r\n\\100%d %s\r\n\r\n");

  f = rtl::fopen("a:\\bin.dat", "wb");
  ASSERT_NE(f, nullptr);
  rtl::fprintf(f, "x\ny");
  EXPECT_EQ(rtl::fclose(f), 0);
  EXPECT_EQ(ReadFile(tmp / "a/bin.dat"), "x\ny");
}

TEST_F(Crt, OpenEmptiesTheExistingFileInAnyLetterCase) {
  WriteFile(tmp / "a/Korvel.TXT", 0, "old content");
  rtl::File* f = rtl::fopen("a:\\KORVEL.txt", "wt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(rtl::fclose(f), 0);
  EXPECT_EQ(ReadFile(tmp / "a/Korvel.TXT"), "");
  EXPECT_FALSE(Exists(tmp / "a/KORVEL.txt"));
}

TEST_F(Crt, MkdirMakesOneFolderAndRefusesExistingOnes) {
  ASSERT_EQ(rtl::chdir("a:\\"), 0);
  EXPECT_EQ(rtl::mkdir("Korvel"), 0);
  EXPECT_TRUE(Exists(tmp / "a/Korvel"));
  EXPECT_EQ(rtl::mkdir("KORVEL"), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(rtl::mkdir("a:\\no\\deeper"), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(rtl::mkdir("a:\\Korvel\\WINDOWS"), 0);
  EXPECT_TRUE(Exists(tmp / "a/Korvel/WINDOWS"));
  // Names are written in UTF-8 on the host.
  EXPECT_EQ(rtl::mkdir("a:\\\x93\xFA\x96\x7B"), 0);
  EXPECT_TRUE(Exists(tmp / "a/日本"));
}

TEST_F(Crt, CloseAcceptsTheNullStream) { EXPECT_EQ(rtl::fclose(nullptr), EOF); }

TEST_F(Crt, ReadOnlyDrivesChangeNothing) {
  WriteFile(tmp / "w/old.txt", 0, "keep");
  MountDrive('b', tmp / "w", true);
  EXPECT_EQ(rtl::mkdir("b:\\Korvel"), -1);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(rtl::fopen("b:\\new.txt", "wt"), nullptr);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(rtl::fopen("b:\\OLD.TXT", "wt"), nullptr);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(ReadFile(tmp / "w/old.txt"), "keep");
  EXPECT_FALSE(Exists(tmp / "w/Korvel"));
  EXPECT_FALSE(Exists(tmp / "w/new.txt"));
  EXPECT_EQ(rtl::chdir("b:\\"), 0);  // entering is fine
}

}  // namespace
