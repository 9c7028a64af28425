#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/crt.h"
#include "platform/drives.h"
#include "tests/platform/layer_fixture.h"

namespace {

using fixture::MakeDirs;
using fixture::WriteFile;

class Paths : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    MakeDirs(tmp / "c/WINDOWS/SYSTEM");
    MakeDirs(tmp / "c/Program Files/Accessories");
    WriteFile(tmp / "c/WINDOWS/SYSTEM/KERNEL32.DLL", 10);
    MakeDirs(tmp / "a");
    MountDrive('c', tmp / "c");
    MountDrive('A', tmp / "a");
  }

  // The host entry a Windows path reaches, as a path below the test folder, or "" when none.
  std::string Reaches(const AnsiString& path) {
    auto id = drives::IdentityOf(path);
    if (!id) return "";
    for (const char* rel : {"c", "c/WINDOWS", "c/WINDOWS/SYSTEM", "c/WINDOWS/SYSTEM/KERNEL32.DLL",
                            "c/Program Files", "c/Program Files/Accessories", "a"}) {
      struct stat st;
      if (lstat((tmp / rel).c_str(), &st) == 0 && st.st_dev == id->device && st.st_ino == id->inode)
        return rel;
    }
    return "?";
  }
};

TEST_F(Paths, DrivesAreListedWithTheirDefaults) {
  auto list = drives::List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].letter, 'a');
  EXPECT_EQ(list[0].kind, DriveKind::Removable);
  EXPECT_EQ(list[0].volumeName, AnsiString("a"));
  EXPECT_EQ(list[1].letter, 'c');
  EXPECT_EQ(list[1].kind, DriveKind::Fixed);
  EXPECT_TRUE(drives::Find('C'));
  EXPECT_FALSE(drives::Find('d'));
  EXPECT_EQ(drives::CurrentDrive(), 0);
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString());
  EXPECT_EQ(drives::RememberedDir('c'), AnsiString("C:\\"));
}

TEST_F(Paths, MountRefusesBadConfigurations) {
  DriveConfig config;
  std::string error;
  config.letter = 'c';
  config.hostPath = tmp / "a";
  EXPECT_FALSE(drives::Mount(config, &error));  // letter taken
  EXPECT_NE(error.find("c:"), std::string::npos) << error;
  config.letter = 'd';
  config.hostPath = tmp / "missing";
  EXPECT_FALSE(drives::Mount(config, &error));
  config.hostPath = tmp / "c/WINDOWS/SYSTEM/KERNEL32.DLL";
  EXPECT_FALSE(drives::Mount(config, &error));  // not a folder
  config.letter = '1';
  config.hostPath = tmp / "a";
  EXPECT_FALSE(drives::Mount(config, &error));
  EXPECT_FALSE(drives::Find('d'));
}

TEST_F(Paths, ResolutionFollowsWindowsRules) {
  ASSERT_EQ(rtl::chdir("C:\\WINDOWS"), 0);
  struct Case {
    const char* path;
    const char* reaches;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL", "c/WINDOWS/SYSTEM/KERNEL32.DLL"},
      {"c:\\windows\\system\\kernel32.dll", "c/WINDOWS/SYSTEM/KERNEL32.DLL"},
      {"C:/WINDOWS//SYSTEM\\\\KERNEL32.DLL", "c/WINDOWS/SYSTEM/KERNEL32.DLL"},
      {"C:\\WINDOWS.\\SYSTEM \\KERNEL32.DLL. .", "c/WINDOWS/SYSTEM/KERNEL32.DLL"},
      {"C:\\WINDOWS\\.\\SYSTEM\\..\\SYSTEM", "c/WINDOWS/SYSTEM"},
      {"C:\\..\\..\\WINDOWS", "c/WINDOWS"},  // ".." stops at the root
      {"C:\\", "c"},
      {"C:", "c/WINDOWS"},  // the remembered directory
      {"C:SYSTEM", "c/WINDOWS/SYSTEM"},
      {"c:..", "c"},
      {"SYSTEM", "c/WINDOWS/SYSTEM"},
      {"\\Program Files", "c/Program Files"},
      {"\\PROGRAM FILES\\accessories", "c/Program Files/Accessories"},
      {"..\\Program Files", "c/Program Files"},
      {"A:", "a"},
      {"a:\\", "a"},
      {"D:\\", ""},
      {"C:\\WINDOWS\\MISSING", ""},
      {"C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL\\X", ""},  // a file is no folder
      {"1:\\", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Reaches(c.path), c.reaches) << c.path;
}

TEST_F(Paths, RelativeAndRootedPathsNeedACurrentDrive) {
  EXPECT_EQ(Reaches("\\WINDOWS"), "");
  EXPECT_EQ(Reaches("WINDOWS"), "");
  EXPECT_EQ(Reaches("C:WINDOWS"), "c/WINDOWS");
  EXPECT_EQ(rtl::chdir("WINDOWS"), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(Paths, EveryDriveRemembersItsOwnDirectory) {
  ASSERT_EQ(rtl::chdir("c:\\windows\\system"), 0);
  EXPECT_EQ(drives::CurrentDrive(), 'c');
  // The delivered names, not the spelling of the call.
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\WINDOWS\\SYSTEM"));
  ASSERT_EQ(rtl::chdir("a:"), 0);
  EXPECT_EQ(drives::CurrentDrive(), 'a');
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("A:\\"));
  EXPECT_EQ(drives::RememberedDir('c'), AnsiString("C:\\WINDOWS\\SYSTEM"));
  ASSERT_EQ(rtl::chdir("C:"), 0);  // back to C's remembered directory, not its root
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\WINDOWS\\SYSTEM"));
  EXPECT_EQ(rtl::chdir("C:\\nowhere"), -1);
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\WINDOWS\\SYSTEM"));
  EXPECT_EQ(rtl::chdir("C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL"), -1);
  EXPECT_EQ(errno, ENOTDIR);
  EXPECT_EQ(rtl::chdir("x:"), -1);
  EXPECT_EQ(drives::CurrentDrive(), 'c');
}

TEST_F(Paths, RelativePathsStartInTheRememberedDirectoryOfTheirDrive) {
  ASSERT_EQ(rtl::chdir("c:\\WINDOWS\\SYSTEM"), 0);
  ASSERT_EQ(rtl::chdir("a:\\"), 0);
  ASSERT_EQ(rtl::mkdir("c:made"), 0);
  ASSERT_EQ(rtl::mkdir("here"), 0);
  ASSERT_EQ(rtl::chdir("here"), 0);
  rtl::File* f = rtl::fopen("c:made\\x.txt", "wt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(rtl::fclose(f), 0);
  EXPECT_TRUE(fixture::Exists(tmp / "c/WINDOWS/SYSTEM/made/x.txt"));
  EXPECT_TRUE(fixture::Exists(tmp / "a/here"));
  EXPECT_EQ(Reaches("c:.."), "c/WINDOWS");
  EXPECT_EQ(Reaches("c:made\\..\\..\\..\\..\\WINDOWS"), "c/WINDOWS");  // stops at the root
  EXPECT_EQ(Reaches(".."), "a");

  // A remembered directory removed and made again is reached again by its names.
  std::filesystem::remove_all(tmp / "c/WINDOWS/SYSTEM");
  EXPECT_EQ(rtl::mkdir("c:gone"), -1);
  EXPECT_EQ(errno, ENOENT);
  MakeDirs(tmp / "c/WINDOWS/SYSTEM");
  ASSERT_EQ(rtl::mkdir("c:again"), 0);
  EXPECT_TRUE(fixture::Exists(tmp / "c/WINDOWS/SYSTEM/again"));
  EXPECT_EQ(drives::RememberedDir('c'), AnsiString("C:\\WINDOWS\\SYSTEM"));
}

TEST_F(Paths, StartDirectory) {
  std::string error;
  EXPECT_TRUE(drives::SetStartDirectory("c:\\WINDOWS", &error)) << error;
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\WINDOWS"));
  EXPECT_FALSE(drives::SetStartDirectory("c:\\nothing", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\WINDOWS"));
}

TEST_F(Paths, StartDirectoryFromTheHostTakesTheDeepestDrive) {
  MountDrive('d', tmp / "c/WINDOWS");
  char saved[4096];
  ASSERT_TRUE(getcwd(saved, sizeof saved));
  ASSERT_EQ(::chdir((tmp / "c/WINDOWS/SYSTEM").c_str()), 0);
  drives::SetStartDirectoryFromHost();
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("D:\\SYSTEM"));
  ASSERT_EQ(::chdir((tmp / "c/Program Files").c_str()), 0);
  drives::SetStartDirectoryFromHost();
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\Program Files"));
  ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
  drives::SetStartDirectoryFromHost();
  EXPECT_EQ(drives::CurrentDrive(), 0);
  ASSERT_EQ(::chdir(saved), 0);
}

TEST_F(Paths, NamesAreMatchedExactlyFirstThenIgnoringCase) {
  MakeDirs(tmp / "c/Case/abc");
  MakeDirs(tmp / "c/Case/ABC");
  MakeDirs(tmp / "c/Case/Abd");
  auto id = [](const std::string& host) {
    struct stat st;
    lstat(host.c_str(), &st);
    return drives::HostIdentity{st.st_dev, st.st_ino};
  };
  EXPECT_EQ(drives::IdentityOf("c:\\Case\\abc"), id(tmp / "c/Case/abc"));
  EXPECT_EQ(drives::IdentityOf("c:\\Case\\ABC"), id(tmp / "c/Case/ABC"));
  // Neither spelling exact: the first in listing order, "ABC" before "abc" by the exact names.
  EXPECT_EQ(drives::IdentityOf("c:\\Case\\aBc"), id(tmp / "c/Case/ABC"));
  EXPECT_EQ(drives::IdentityOf("c:\\Case\\ABD"), id(tmp / "c/Case/Abd"));
}

}  // namespace
