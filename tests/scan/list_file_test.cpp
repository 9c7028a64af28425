// The list file: exact bytes, completeness, and what is not written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/crt.h"
#include "platform/drives.h"
#include "scan/scan_state.h"
#include "tests/scan/scan_fixture.h"

namespace {

class ListFileTest : public scantest::ScanTest {
 protected:
  void Record(std::initializer_list<const char*> lines) {
    State->EntryTotal = 0;
    for (const char* line : lines)
      State->EntryList[static_cast<std::size_t>(++State->EntryTotal)] = line;
  }
  void Write() {
    State->TargetDrive = "a:";
    rtl::chdir("a:\\");
    WriteListFile();
  }
};

TEST_F(ListFileTest, WritesEveryRecordedLineWithCrLf) {
  const struct {
    const char* what;
    std::initializer_list<const char*> lines;
    std::string bytes;
  } cases[] = {
      {"nothing recorded", {}, ""},
      {"one line", {"\\WINDOWS"}, "\\WINDOWS\r\n"},
      {"percent signs and CP932 stay as they are",
       {"\\100%.txt", "\\%s%d%n", "\\\x95\x5c\\   1KB 97_03_15 \x93\xfa\x96\x7b.TXT"},
       "\\100%.txt\r\n\\%s%d%n\r\n\\\x95\x5c\\   1KB 97_03_15 \x93\xfa\x96\x7b.TXT\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Record(c.lines);
    Write();
    EXPECT_TRUE(State->ListFileComplete);
    EXPECT_EQ(State->OutFile, nullptr);
    EXPECT_EQ(fixture::ReadFile(Tgt("korvel.txt")), c.bytes);
  }
}

TEST_F(ListFileTest, LinesBeyondTheCountOfThisRunAreLeftOut) {
  Record({"\\A", "\\B", "\\C"});
  State->EntryTotal = 1;  // a shorter walk after a longer one
  Write();
  EXPECT_EQ(fixture::ReadFile(Tgt("korvel.txt")), "\\A\r\n");
}

TEST_F(ListFileTest, CountBeyondTheListIsNeverReadPastItsEnd) {
  State->EntryList.back() = "\\LAST";
  State->EntryTotal = static_cast<int>(State->EntryList.size()) + 5;
  Write();
  EXPECT_FALSE(State->ListFileComplete);
  const std::string bytes = fixture::ReadFile(Tgt("korvel.txt"));
  EXPECT_EQ(scantest::CountLines(bytes), 19999);
  EXPECT_EQ(bytes.substr(bytes.size() - 7), "\\LAST\r\n");
}

TEST_F(ListFileTest, GoesToTheTargetsRememberedDirectory) {
  fixture::MakeDirs(Tgt("Korvel/SUB"));
  fixture::WriteFile(Tgt("korvel.txt"), 0, "from an earlier run");
  Record({"\\A"});
  State->TargetDrive = "a:";
  rtl::chdir("a:\\Korvel\\SUB");
  rtl::chdir("c:\\");
  WriteListFile();
  EXPECT_EQ(fixture::ReadFile(Tgt("Korvel/SUB/korvel.txt")), "\\A\r\n");
  EXPECT_EQ(fixture::ReadFile(Tgt("korvel.txt")), "from an earlier run");
}

TEST_F(ListFileTest, ReadOnlyTargetIsReportedIncomplete) {
  drives::UnmountAll();
  MountDrive('a', Tgt(), /*readOnly=*/true);
  Record({"\\A"});
  State->ListFileComplete = true;
  Write();
  EXPECT_FALSE(State->ListFileComplete);
  EXPECT_FALSE(fixture::Exists(Tgt("korvel.txt")));
}

// A write that runs out of room (here a file size limit, in a child process) is reported.
TEST_F(ListFileTest, FailedWriteIsReportedIncomplete) {
  const std::string line(1000, 'x');
  State->EntryTotal = 0;
  for (int k = 0; k < 100; ++k)
    State->EntryList[static_cast<std::size_t>(++State->EntryTotal)] = "\\" + line;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{10000, 10000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    Write();
    ::_exit(State->ListFileComplete ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "a truncated list file passed for complete";
  EXPECT_LE(fixture::ReadFile(Tgt("korvel.txt")).size(), 10000u);
}

}  // namespace
