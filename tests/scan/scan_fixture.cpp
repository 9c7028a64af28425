#include "tests/scan/scan_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/crt.h"
#include "platform/drives.h"
#include "platform/sysutils.h"
#include "tests/support/drive_fixture.h"

namespace scantest {

void RecordingWindow::SetProgressPosition(std::uint16_t position) {
  calls.push_back("progress " + std::to_string(position));
}
void RecordingWindow::ClearMemo() { calls.emplace_back("clear"); }
void RecordingWindow::AddMemoLine(const AnsiString& line) {
  calls.push_back("memo " + line.Bytes());
}
void RecordingWindow::PaintStatusLine(const TRect& rect, int x, int y, const AnsiString& text) {
  calls.push_back("status " + std::to_string(rect.Left) + "," + std::to_string(rect.Top) + "," +
                  std::to_string(rect.Right) + "," + std::to_string(rect.Bottom) + " at " +
                  std::to_string(x) + "," + std::to_string(y) + " " + text.Bytes());
}

int DosStamp(int year, int month, int day, int hour, int min, int sec) {
  const unsigned packed = (static_cast<unsigned>(year - 1980) << 25) |
                          (static_cast<unsigned>(month) << 21) |
                          (static_cast<unsigned>(day) << 16) | (static_cast<unsigned>(hour) << 11) |
                          (static_cast<unsigned>(min) << 5) | static_cast<unsigned>(sec / 2);
  return static_cast<int>(packed);
}

std::vector<std::string> TreeOf(const std::string& root) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(entry.path(), root).string();
    if (entry.is_directory() && !entry.is_symlink()) rel += "/";
    paths.push_back(rel);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

void ClearFolder(const std::string& path) {
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    std::filesystem::remove_all(entry.path());
  }
}

int CountLines(const std::string& bytes) {
  int lines = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n') continue;
    EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
    ++lines;
  }
  return lines;
}

void UseFixedTimeZone() {
  // Japan has had no daylight saving time since 1951, so every local time is unambiguous.
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
}

void ScanTest::SetUp() {
  UseFixedTimeZone();
  savedShortDateFormat_ = ShortDateFormat;
  ShortDateFormat = "yy/mm/dd";
  src_ = dir_ / "c";
  tgt_ = dir_ / "a";
  fixture::MakeDirs(src_);
  fixture::MakeDirs(tgt_);
  drives::UnmountAll();
  MountDrive('c', src_);
  MountDrive('a', tgt_);
  CreateScanState();
  SetScanWindow(&window_);
}

void ScanTest::TearDown() {
  SetScanWindow(nullptr);
  DestroyScanState();
  drives::UnmountAll();
  ShortDateFormat = savedShortDateFormat_;
}

void ScanTest::MountDrive(char letter, const std::string& hostPath, bool readOnly) {
  fixture::MountDrive(letter, hostPath, readOnly);
}

void ScanTest::MakeFile(const std::string& rel, std::int64_t size, std::time_t when) {
  fixture::WriteFile(Src(rel), size);
  fixture::SetMtime(Src(rel), when);
}

void ScanTest::MakeFolder(const std::string& rel) { fixture::MakeDirs(Src(rel)); }

void ScanTest::PrepareStart(int mode) {
  State->TargetDrive = "a:";
  // From the target's root, as the program's Start command does it.
  rtl::chdir("a:\\");
  State->MirrorFolderName = "Korvel";
  rtl::mkdir(State->MirrorFolderName);
  State->SystemDrive = "C:";
  State->SourceRoot = State->SystemDrive;
  State->TargetRoot = State->TargetDrive;
  State->EntryTotal = 0;
  State->Mode = mode;
}

}  // namespace scantest
