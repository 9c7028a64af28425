// Runs the program in the test process and records what it does to its window.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/drives.h"
#include "platform/vcl/vcl.h"
#include "scan/scan_state.h"
#include "tests/support/host_fixture.h"

namespace apptest {

// One line per window operation, written here independently of the program's --trace.
class Recorder : public Monitor {
 public:
  std::vector<std::string> lines;
  // Whether the window was on screen at each line.
  std::vector<bool> shown;
  // Called after each line is recorded (tests may throw from it).
  std::function<void(const std::string&)> after;

  void ProgressMax(int value) override { Add("progress.max " + std::to_string(value)); }
  void ProgressPosition(int value) override { Add("progress.position " + std::to_string(value)); }
  void MemoClear() override { Add("memo.clear"); }
  void MemoAdd(const AnsiString& line) override { Add("memo.add " + Utf8(line)); }
  void TextOut(int, int, const AnsiString& text) override { Add("status " + Utf8(text)); }
  void CursorSet(const TControl& control, TCursor cursor) override;
  void VisibleSet(bool visible) override { Add(visible ? "visible true" : "visible false"); }
  void DriveChanged(char letter) override {
    Add(letter ? std::string("drive ") + letter : std::string("drive"));
  }
  void RadioClicked(int index) override { Add("mode " + std::to_string(index)); }
  void MessageBoxShown(const AnsiString& caption, const AnsiString& text, int answer) override {
    Add("msgbox " + Utf8(caption) + " | " + Utf8(text) + " -> " +
        (answer == IDOK ? "ok" : "cancel"));
  }
  void FormClosed() override { Add("close"); }

  static std::string Utf8(const AnsiString& text);

 private:
  void Add(const std::string& line);
};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the program once; script runs inside the message loop after start-up, and the
  // window is closed after it. Returns the recorded lines.
  std::vector<std::string> Run(const std::function<void()>& script = {});

  void Mount(char letter, const std::string& host, bool read_only = false);
  // c: with a Windows system file and a few entries (13 in a walk), a: an empty floppy.
  void MountSystemAndFloppy();
  void StartIn(const char* windows_path);

  // The lines after the start-up: everything after the count line.
  static std::vector<std::string> After(const std::vector<std::string>& lines,
                                        const std::string& marker);

  fixture::TempDir tmp;
  std::string c_root, a_root;
  int answer = IDCANCEL;  // the answer to questions
  int boxes = 0;
  int status = -1;
  Recorder recorder;
};

// The small system drive: AUTOEXEC.BAT, WINDOWS\WIN.INI, WINDOWS\SYSTEM\KERNEL32.DLL and
// My Documents\メモ.txt, with fixed sizes and dates.
void MakeSystemTree(const std::string& root);

// Inside a script: what the user does, one event each, as the message loop runs it.
void Press(TButton* button);
void PickDrive(char letter);
void PickMode(int index);

// Every path below root, "/"-separated and sorted, folders with a trailing "/".
std::vector<std::string> TreeOf(const std::string& root);

}  // namespace apptest
