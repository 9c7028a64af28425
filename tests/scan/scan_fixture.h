// Shared set-up of the scan engine's tests: drives over temporary folders, a fresh ScanState,
// a recording window and a fixed time zone.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ansi_string.h"
#include "scan/scan_state.h"
#include "scan/scan_window.h"
#include "tests/support/host_fixture.h"

namespace scantest {

// Records every window operation as one line of text (bytes of the engine's CP932 unchanged):
//   "progress N", "clear", "memo TEXT", "status L,T,R,B at X,Y TEXT".
class RecordingWindow : public ScanWindow {
 public:
  void SetProgressPosition(std::uint16_t position) override;
  void ClearMemo() override;
  void AddMemoLine(const AnsiString& line) override;
  void PaintStatusLine(const TRect& rect, int x, int y, const AnsiString& text) override;

  std::vector<std::string> calls;
};

// Packed DOS date and time, written out here rather than taken from the layer.
int DosStamp(int year, int month, int day, int hour = 0, int min = 0, int sec = 0);

// Every path below root (folders with a trailing "/"), relative and sorted.
std::vector<std::string> TreeOf(const std::string& root);

// Removes everything inside a folder, keeping the folder (a mounted drive's folder stays the
// same host folder).
void ClearFolder(const std::string& path);

// Count of lines of a CR LF list file text; fails the test on a bare LF.
int CountLines(const std::string& bytes);

// Fixes the time zone for the whole test binary, so that stamps and labels are the same on
// every machine.
void UseFixedTimeZone();

// A source drive c: and a target drive a: over fresh folders, with the target's mirror folder
// made as the Start command makes it, and a fresh ScanState wired to a recording window.
class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Mounts a drive; fails the test when the layer refuses it.
  void MountDrive(char letter, const std::string& hostPath, bool readOnly = false);
  // Host file with size bytes and the given local time.
  void MakeFile(const std::string& rel, std::int64_t size, std::time_t when);
  // Host folder (parents made) under the source.
  void MakeFolder(const std::string& rel);
  // Sets the state up for a Start pass in mode, as the Start command does before WalkTree.
  void PrepareStart(int mode);

  std::string Src(const std::string& rel = "") const {
    return rel.empty() ? src_ : src_ + "/" + rel;
  }
  std::string Tgt(const std::string& rel = "") const {
    return rel.empty() ? tgt_ : tgt_ + "/" + rel;
  }

  fixture::TempDir dir_;
  std::string src_;
  std::string tgt_;
  RecordingWindow window_;
  AnsiString savedShortDateFormat_;
};

}  // namespace scantest
