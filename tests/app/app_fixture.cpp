#include "tests/app/app_fixture.h"

#include <QWidget>
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/ansi_string.h"
#include "tests/support/drive_fixture.h"

namespace apptest {

void Recorder::CursorSet(const TControl& control, TCursor cursor) {
  std::string name = dynamic_cast<const TForm*>(&control) ? "form" : control.Name;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char ch) { return static_cast<char>(std::tolower(ch)); });
  Add("cursor." + name + (cursor == crHourGlass ? " hourglass" : " default"));
}

std::string Recorder::Utf8(const AnsiString& text) {
  auto utf8 = Cp932ToUtf8(text.Bytes());
  return utf8 ? *utf8 : "<not CP932>";
}

void Recorder::Add(const std::string& line) {
  lines.push_back(line);
  shown.push_back(Form1 && Form1->Widget() && Form1->Widget()->isVisible());
  if (after) after(line);
}

void AppTest::SetUp() {
  drives::UnmountAll();
  c_root = tmp / "c";
  a_root = tmp / "a";
  fixture::MakeDirs(c_root);
  fixture::MakeDirs(a_root);
}

void AppTest::TearDown() {
  drives::UnmountAll();
  vcl::SetFormResourceOverride("TFORM1", std::nullopt);
}

std::vector<std::string> AppTest::Run(const std::function<void()>& script) {
  recorder.lines.clear();
  recorder.shown.clear();
  boxes = 0;
  vcl::SetMonitor(&recorder);
  vcl::SetMessageBoxHook([this](const AnsiString&, const AnsiString&, unsigned type) {
    ++boxes;
    return (type & 0xF) == MB_OKCANCEL ? answer : IDOK;
  });
  CreateScanState();
  vcl::CreateApplication();
  Application->Script = [&script] {
    if (script) script();
    if (!Form1->Closed()) Form1->Close();
  };
  status = ProgramEntry();
  DestroyScanState();
  vcl::DestroyApplication();
  Form1 = nullptr;
  vcl::SetMonitor(nullptr);
  vcl::SetMessageBoxHook(nullptr);
  return recorder.lines;
}

void AppTest::Mount(char letter, const std::string& host, bool read_only) {
  fixture::MountDrive(letter, host, read_only);
}

void AppTest::MountSystemAndFloppy() {
  MakeSystemTree(c_root);
  Mount('c', c_root);
  Mount('a', a_root);
  StartIn("c:\\");
}

void AppTest::StartIn(const char* windows_path) {
  std::string error;
  ASSERT_TRUE(drives::SetStartDirectory(windows_path, &error)) << error;
}

std::vector<std::string> AppTest::After(const std::vector<std::string>& lines,
                                        const std::string& marker) {
  auto it = std::find(lines.begin(), lines.end(), marker);
  if (it == lines.end()) return {"<no " + marker + ">"};
  return std::vector<std::string>(it + 1, lines.end());
}

void MakeSystemTree(const std::string& root) {
  using fixture::LocalTime;
  fixture::WriteFile(root + "/AUTOEXEC.BAT", 100);
  fixture::SetMtime(root + "/AUTOEXEC.BAT", LocalTime(1997, 3, 15));
  fixture::WriteFile(root + "/WINDOWS/WIN.INI", 1500);
  fixture::SetMtime(root + "/WINDOWS/WIN.INI", LocalTime(1998, 5, 6, 10, 0, 0));
  fixture::WriteFile(root + "/WINDOWS/SYSTEM/KERNEL32.DLL", 2048);
  fixture::SetMtime(root + "/WINDOWS/SYSTEM/KERNEL32.DLL", LocalTime(1998, 5, 6, 10, 0, 0));
  fixture::WriteFile(root + "/My Documents/メモ.txt", 0);
  fixture::SetMtime(root + "/My Documents/メモ.txt", LocalTime(2000, 1, 2));
}

void Press(TButton* button) {
  Application->HandleEvent([button] { button->Click(); });
}

void PickDrive(char letter) {
  Application->HandleEvent([letter] { Form1->DriveComboBox1->UserSelect(letter); });
}

void PickMode(int index) {
  Application->HandleEvent([index] { Form1->RadioGroup1->UserSelect(index); });
}

std::vector<std::string> TreeOf(const std::string& root) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
    std::string rel = fs::relative(it->path(), root).string();
    if (it->is_directory()) rel += "/";
    paths.push_back(rel);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace apptest
