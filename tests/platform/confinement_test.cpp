#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "platform/crt.h"
#include "platform/findfile.h"
#include "tests/platform/layer_fixture.h"

namespace {

using fixture::Exists;
using fixture::MakeDirs;
using fixture::ReadFile;
using fixture::WriteFile;

std::size_t CountEntries(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

class Confinement : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    MakeDirs(tmp / "outside");
    WriteFile(tmp / "outside/target.txt", 0, "precious");
    MakeDirs(tmp / "c/sub");
    symlink((tmp / "outside").c_str(), (tmp / "c/out").c_str());
    symlink("..", (tmp / "c/sub/up").c_str());
    symlink((tmp / "outside/target.txt").c_str(), (tmp / "c/sub/k.txt").c_str());
    symlink((tmp / "outside/created.txt").c_str(), (tmp / "c/sub/dangling.txt").c_str());
    MountDrive('c', tmp / "c");
  }

  void ExpectOutsideUntouched() {
    EXPECT_EQ(CountEntries(tmp / "outside"), 1u);
    EXPECT_EQ(ReadFile(tmp / "outside/target.txt"), "precious");
  }
};

TEST_F(Confinement, LinksAreNeverFollowed) {
  struct Case {
    const char* path;
    int err;
  };
  const Case folders[] = {{"c:\\out", ELOOP},
                          {"c:\\out\\", ELOOP},
                          {"c:\\sub\\up", ELOOP},
                          {"c:\\sub\\up\\out", ELOOP},
                          {"c:\\OUT\\..", ELOOP}};
  for (const auto& c : folders) {
    errno = 0;
    EXPECT_EQ(rtl::chdir(c.path), -1) << c.path;
    EXPECT_EQ(errno, c.err) << c.path;
  }
  const Case files[] = {
      {"c:\\out\\new.txt", ELOOP},      {"c:\\out\\target.txt", ELOOP},
      {"c:\\sub\\k.txt", ELOOP},        {"c:\\sub\\K.TXT", ELOOP},
      {"c:\\sub\\dangling.txt", ELOOP}, {"c:\\sub\\up\\out\\target.txt", ELOOP},
  };
  for (const auto& c : files) {
    errno = 0;
    rtl::File* f = rtl::fopen(c.path, "wt");
    EXPECT_EQ(f, nullptr) << c.path;
    if (f) rtl::fclose(f);
    EXPECT_EQ(errno, c.err) << c.path;
    EXPECT_EQ(rtl::mkdir(AnsiString(c.path) + "\\x"), -1) << c.path;
  }
  EXPECT_EQ(rtl::mkdir("c:\\sub\\k.txt"), -1);
  EXPECT_EQ(errno, EEXIST);
  TSearchRec rec;
  EXPECT_NE(FindFirst("c:\\out\\*", faAnyFile, rec), 0);
  ExpectOutsideUntouched();
  EXPECT_FALSE(Exists(tmp / "outside/created.txt"));
}

TEST_F(Confinement, DotDotStopsAtTheRoot) {
  EXPECT_EQ(rtl::mkdir("c:\\..\\..\\escape"), 0);
  EXPECT_TRUE(Exists(tmp / "c/escape"));
  EXPECT_FALSE(Exists(tmp / "escape"));
  ASSERT_EQ(rtl::chdir("c:\\sub"), 0);
  EXPECT_EQ(rtl::fopen("..\\..\\..\\outside\\target.txt", "wt"), nullptr);
  EXPECT_EQ(errno, ENOENT);  // the host folder beside the drive is not reachable
  EXPECT_EQ(rtl::fopen("..\\..\\..\\out\\target.txt", "wt"), nullptr);
  EXPECT_EQ(errno, ELOOP);  // c:\out is the planted link
  ExpectOutsideUntouched();
}

TEST_F(Confinement, ARememberedDirectoryReplacedByALinkIsNotFollowed) {
  MakeDirs(tmp / "c/work");
  ASSERT_EQ(rtl::chdir("c:\\work"), 0);
  std::filesystem::remove(tmp / "c/work");
  symlink((tmp / "outside").c_str(), (tmp / "c/work").c_str());
  EXPECT_EQ(rtl::fopen("korvel.txt", "wt"), nullptr);
  EXPECT_EQ(rtl::mkdir("Korvel"), -1);
  EXPECT_EQ(rtl::fopen("c:korvel.txt", "wt"), nullptr);
  ExpectOutsideUntouched();
}

TEST_F(Confinement, FoldersOfAnEarlierWalkAreCheckedAgain) {
  // A rooted walk reuses the folders an earlier one opened; each must still be the entry of
  // its name, so one moved away and replaced by a link or another folder is not reused.
  MakeDirs(tmp / "c/sub/deep/deeper");
  ASSERT_EQ(rtl::chdir("c:\\sub\\deep\\deeper"), 0);
  ASSERT_EQ(rtl::chdir("c:\\"), 0);
  std::filesystem::rename(tmp / "c/sub", tmp / "outside/moved");
  symlink((tmp / "outside/moved").c_str(), (tmp / "c/sub").c_str());
  errno = 0;
  EXPECT_EQ(rtl::mkdir("c:\\sub\\deep\\deeper\\x"), -1);
  EXPECT_EQ(errno, ELOOP);
  EXPECT_EQ(rtl::fopen("c:\\sub\\deep\\new.txt", "wt"), nullptr);
  EXPECT_EQ(errno, ELOOP);
  TSearchRec rec;
  EXPECT_NE(FindFirst("c:\\sub\\deep\\*", faAnyFile, rec), 0);
  FindClose(rec);
  EXPECT_FALSE(Exists(tmp / "outside/moved/deep/deeper/x"));
  EXPECT_FALSE(Exists(tmp / "outside/moved/deep/new.txt"));

  std::filesystem::remove(tmp / "c/sub");
  MakeDirs(tmp / "c/sub/deep/deeper");
  ASSERT_EQ(rtl::mkdir("c:\\sub\\deep\\deeper\\x"), 0);
  EXPECT_TRUE(Exists(tmp / "c/sub/deep/deeper/x"));
  EXPECT_FALSE(Exists(tmp / "outside/moved/deep/deeper/x"));
}

TEST_F(Confinement, NamesThatCannotBeCreatedCreateNothing) {
  struct Case {
    const char* what;
    std::string name;
    int err;
  };
  const Case cases[] = {
      {"colon", "a:b", EINVAL},
      {"star", "a*b", EINVAL},
      {"question mark", "a?b", EINVAL},
      {"quote", "a\"b", EINVAL},
      {"less than", "a<b", EINVAL},
      {"greater than", "a>b", EINVAL},
      {"bar", "a|b", EINVAL},
      {"control character", "a\x01z", EINVAL},
      {"tab", "a\tb", EINVAL},
      {"only dots", "...", EINVAL},
      {"only blanks", "   ", EINVAL},
      {"not CP932", "\x80\x81", EINVAL},
      {"a lead byte cut short", "abc\x81", EINVAL},
      {"256 bytes", std::string(256, 'x'), ENAMETOOLONG},
      {"86 kanji: 172 bytes here, 258 in UTF-8",
       [] {
         std::string s;
         for (int i = 0; i < 86; ++i) s += "\x93\xFA";
         return s;
       }(),
       ENAMETOOLONG},
  };
  MakeDirs(tmp / "c/new");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    errno = 0;
    EXPECT_EQ(rtl::mkdir(AnsiString("c:\\new\\") + c.name), -1);
    EXPECT_EQ(errno, c.err);
    errno = 0;
    EXPECT_EQ(rtl::fopen(AnsiString("c:\\new\\") + c.name, "wt"), nullptr);
    EXPECT_EQ(errno, c.err);
  }
  EXPECT_EQ(CountEntries(tmp / "c/new"), 0u);
  // What Windows accepts: 255 bytes, trailing dots and blanks dropped, trail bytes '|' and '\'.
  EXPECT_EQ(rtl::mkdir(AnsiString("c:\\new\\") + std::string(255, 'y')), 0);
  EXPECT_EQ(rtl::mkdir("c:\\new\\name. . "), 0);
  EXPECT_TRUE(Exists(tmp / "c/new/name"));
  EXPECT_EQ(rtl::mkdir("c:\\new\\\x83\x7C\x95\x5C"), 0);
  EXPECT_TRUE(Exists(tmp / "c/new/ポ表"));
  EXPECT_EQ(CountEntries(tmp / "c/new"), 3u);
}

// Runs body in a child process and gives its exit status.
template <typename Body>
int InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(Confinement, WriteErrorsShowInTheResults) {
  // A file size limit makes write fail with EFBIG, as a full disk fails it.
  int status = InChild([] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    rtl::File* f = rtl::fopen("c:\\sub\\full.txt", "wt");
    if (!f) return 11;
    bool sawError = false;
    for (int i = 0; i < 20000; ++i)
      if (rtl::fprintf(f, "%s\n", "\\WINDOWS\\SYSTEM\\   2KB 97_03_15 KERNEL32.DLL") < 0)
        sawError = true;
    if (!sawError) return 12;
    if (rtl::fclose(f) != EOF) return 13;
    // A short file whose only write happens at close: fclose alone tells.
    f = rtl::fopen("c:\\sub\\late.txt", "wt");
    if (!f) return 14;
    if (rtl::fprintf(f, "%s\n", std::string(5000, 'x').c_str()) < 0) return 15;
    if (rtl::fclose(f) != EOF) return 16;
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(std::filesystem::file_size(tmp / "c/sub/full.txt"), 4096u);
}

TEST_F(Confinement, AFolderThatCannotBeReadGivesNoFirstEntry) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  MakeDirs(tmp / "c/locked");
  WriteFile(tmp / "c/locked/inside.txt");
  chmod(tmp.path().c_str(), 0755);
  chmod((tmp / "c").c_str(), 0755);
  chmod((tmp / "c/locked").c_str(), 0311);  // may be entered, not read
  int status = InChild([] {
    if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) return 10;
    TSearchRec rec;
    if (FindFirst("c:\\locked\\*.*", faAnyFile, rec) == 0) return 11;
    if (rec.FindHandle != nullptr) return 12;
    if (FindFirst("c:\\*.*", faAnyFile, rec) != 0) return 13;  // its parent still lists
    FindClose(rec);
    if (rtl::chdir("c:\\locked") != 0) return 14;  // entering needs no reading
    if (!drives::IdentityOf("inside.txt")) return 15;
    if (FindFirst("c:\\locked\\*.*", faAnyFile, rec) == 0) return 16;
    return 0;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
