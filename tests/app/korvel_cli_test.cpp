// The korvel binary, headless, end to end.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/app/app_fixture.h"
#include "tests/support/host_fixture.h"

namespace {

struct Result {
  int status = -1;
  std::string out, err;
};

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Runs korvel with no display and TZ=UTC; stdout and stderr apart.
Result Korvel(const std::vector<std::string>& args, const std::string& env = "") {
  fixture::TempDir dir;
  std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TZ=UTC " + env + " " +
                        Quote(KORVEL_BINARY);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " 2>" + Quote(dir / "err");
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = fixture::ReadFile(dir / "err");
  return result;
}

class KorvelCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture::MakeDirs(tmp / "a");
    apptest::MakeSystemTree(tmp / "c");
  }
  std::vector<std::string> Drives() {
    return {"--drive", "c=" + (tmp / "c"), "--drive", "a=" + (tmp / "a"), "--cd", "c:\\"};
  }
  std::vector<std::string> With(std::vector<std::string> more) {
    std::vector<std::string> args = Drives();
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  fixture::TempDir tmp;
};

const char* kPreCount =
    "visible false\n"
    "progress.position 0\n"
    "memo.clear\n"
    "status C:\\My Documents\n"
    "progress.position 3\n"
    "memo.clear\n"
    "status C:\\WINDOWS\n"
    "progress.position 6\n"
    "memo.clear\n"
    "progress.position 10\n"
    "memo.clear\n"
    "status C:\\Program Files\n"
    "progress.position 13\n"
    "memo.clear\n"
    "visible true\n"
    "drive c\n"
    "progress.position 0\n"
    "memo.add 総ファイル数＝13\n";

TEST_F(KorvelCli, TraceOfAModeTwoRunOntoTheFloppy) {
  Result r = Korvel(
      With({"--headless", "--trace", "--select", "a", "--mode", "2", "--answer", "ok", "--start"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, std::string(kPreCount) +
                       "drive a\n"
                       "mode 2\n"
                       "progress.max 13\n"
                       "cursor.form hourglass\n"
                       "cursor.button1 hourglass\n"
                       "progress.position 0\n"
                       "memo.clear\n"
                       "memo.add    1KB 97_03_15 AUTOEXEC.BAT\n"
                       "memo.add My Documents\n"
                       "memo.add WINDOWS\n"
                       "status C:\\My Documents\n"
                       "progress.position 3\n"
                       "memo.clear\n"
                       "memo.add .\n"
                       "memo.add ..\n"
                       "memo.add    1KB 00_01_02 メモ.txt\n"
                       "status C:\\WINDOWS\n"
                       "progress.position 6\n"
                       "memo.clear\n"
                       "memo.add .\n"
                       "memo.add ..\n"
                       "memo.add SYSTEM\n"
                       "memo.add    2KB 98_05_06 WIN.INI\n"
                       "progress.position 10\n"
                       "memo.clear\n"
                       "memo.add .\n"
                       "memo.add ..\n"
                       "memo.add    3KB 98_05_06 KERNEL32.DLL\n"
                       "status C:\\Program Files\n"
                       "progress.position 13\n"
                       "memo.clear\n"
                       "memo.clear\n"
                       "memo.add 終了\n"
                       "cursor.form default\n"
                       "cursor.button1 default\n"
                       "close\n");
  EXPECT_TRUE(fixture::Exists(tmp / "a/Korvel/My Documents/   1KB 00_01_02 メモ.txt"));
}

TEST_F(KorvelCli, TraceOfTheQuestionCancelledThenClose) {
  // No --select: the target is c:, which holds the system file.
  Result r = Korvel(With({"--headless", "--trace", "--start", "--close"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kPreCount) +
                       "msgbox MessageBox | このドライブでいいですか -> cancel\n"
                       "close\n");
  EXPECT_FALSE(fixture::Exists(tmp / "c/Korvel"));
}

TEST_F(KorvelCli, PlainHeadlessRunPrintsWhatAPersonReads) {
  Result r = Korvel(With({"--headless", "--select", "q", "--start"}), "");
  EXPECT_EQ(r.status, 2);  // q is no drive
  r = Korvel(With({"--headless", "--select", "a", "--mode", "0", "--start"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "» C:\\My Documents\n"
            "» C:\\WINDOWS\n"
            "» C:\\Program Files\n"
            "総ファイル数＝13\n"
            "» C:\\My Documents\n"
            "» C:\\WINDOWS\n"
            "» C:\\Program Files\n"
            "終了\n");
  EXPECT_EQ(fixture::ReadFile(tmp / "a/korvel.txt").size(), 292u);
}

TEST_F(KorvelCli, ScreenshotIsAPngOfTheWindow) {
  std::string png = tmp / "window.png";
  Result r = Korvel(With({"--headless", "--screenshot", png, "--close"}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(fixture::ReadFile(png).substr(0, 8), "\x89PNG\r\n\x1A\n");
}

struct BadArgs {
  const char* what;
  std::vector<std::string> args;
  const char* error;
};

TEST_F(KorvelCli, BadOptionsAreOneLineAndStatusTwoBeforeAnythingRuns) {
  const BadArgs cases[] = {
      {"unknown letter",
       {"--headless", "--select", "q", "--start"},
       "korvel: --select q: no such drive; the drives are a c (add one with --drive)\n"},
      {"mode out of range",
       {"--headless", "--mode", "4"},
       "korvel: --mode 4: give a mode from 0 to 3\n"},
      {"bad answer",
       {"--headless", "--answer", "yes"},
       "korvel: --answer yes: give ok or cancel\n"},
      {"action after close",
       {"--headless", "--close", "--start"},
       "korvel: --start comes after --close; --close must be the last action\n"},
      {"unknown option",
       {"--frobnicate"},
       "korvel: unknown option --frobnicate; see korvel --help\n"},
      {"action without headless", {"--start"}, "korvel: --start needs --headless\n"},
  };
  for (const BadArgs& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = Korvel(With(c.args));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.error);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fixture::Exists(tmp / "a/Korvel"));
  }
  Result r = Korvel({"--drive", "c=" + (tmp / "nowhere"), "--headless"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.substr(0, 16), "korvel: --drive ");
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_F(KorvelCli, WithoutADisplayTheWindowIsRefusedWithAHint) {
  Result r = Korvel(Drives());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("--headless"), std::string::npos);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_F(KorvelCli, HelpAndVersion) {
  Result help = Korvel({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--headless"), std::string::npos);
  EXPECT_NE(help.out.find("--drive L=PATH"), std::string::npos);
  Result version = Korvel({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.substr(0, 7), "korvel ");
}

}  // namespace
