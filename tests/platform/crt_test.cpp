#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/crt.h"
#include "platform/internal.h"
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

namespace {

class CrtBothWays : public Crt, public testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    saved_ = layer_internal::useFolderCache;
    layer_internal::useFolderCache = GetParam();
    Crt::SetUp();
  }
  void TearDown() override {
    Crt::TearDown();
    layer_internal::useFolderCache = saved_;
  }

 private:
  bool saved_ = true;
};

std::size_t Count(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST_P(CrtBothWays, ChangesOnTheHostAreSeenAtOnce) {
  rtl::File* f = rtl::fopen("a:\\first.txt", "wt");  // names the folder
  ASSERT_NE(f, nullptr);
  rtl::fclose(f);
  WriteFile(tmp / "a/readme.txt", 0, "old");
  f = rtl::fopen("a:\\README.TXT", "wt");
  ASSERT_NE(f, nullptr);
  rtl::fclose(f);
  EXPECT_EQ(ReadFile(tmp / "a/readme.txt"), "");
  EXPECT_FALSE(Exists(tmp / "a/README.TXT"));

  std::filesystem::rename(tmp / "a/readme.txt", tmp / "a/other.txt");
  f = rtl::fopen("a:\\README.TXT", "wt");
  ASSERT_NE(f, nullptr);
  rtl::fclose(f);
  EXPECT_TRUE(Exists(tmp / "a/README.TXT"));

  MakeDirs(tmp / "a/Sub");
  EXPECT_EQ(rtl::mkdir("a:\\SUB"), -1);
  EXPECT_EQ(errno, EEXIST);
  std::filesystem::remove(tmp / "a/Sub");
  EXPECT_EQ(rtl::mkdir("a:\\SUB"), 0);
  EXPECT_TRUE(Exists(tmp / "a/SUB"));
}

TEST_P(CrtBothWays, ManyFilesInOneFolderKeepTheirCaseRule) {
  ASSERT_EQ(rtl::chdir("a:\\"), 0);
  ASSERT_EQ(rtl::mkdir("Korvel"), 0);
  ASSERT_EQ(rtl::chdir("a:\\Korvel"), 0);
  for (int i = 0; i < 300; ++i) {
    rtl::File* f = rtl::fopen(AnsiString("f") + IntToStr(i) + ".txt", "wt");
    ASSERT_NE(f, nullptr) << i;
    rtl::fprintf(f, "%d", i);
    ASSERT_EQ(rtl::fclose(f), 0);
  }
  for (int i = 0; i < 300; ++i) {
    rtl::File* f = rtl::fopen(AnsiString("F") + IntToStr(i) + ".TXT", "wt");
    ASSERT_NE(f, nullptr) << i;
    ASSERT_EQ(rtl::fclose(f), 0);
    EXPECT_EQ(rtl::mkdir(AnsiString("F") + IntToStr(i) + ".txt"), -1);
  }
  EXPECT_EQ(Count(tmp / "a/Korvel"), 300u);
  EXPECT_EQ(ReadFile(tmp / "a/Korvel/f299.txt"), "");
}

INSTANTIATE_TEST_SUITE_P(FolderCache, CrtBothWays, testing::Bool(),
                         [](const auto& p) { return p.param ? "Cached" : "Listed"; });

}  // namespace
