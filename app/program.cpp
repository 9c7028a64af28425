#include "app/program.h"

#include <cctype>
#include <iostream>
#include <memory>
#include <ostream>

#include "app/form1.h"
#include "platform/drives.h"
#include "platform/vcl/vcl.h"
#include "scan/scan_state.h"

namespace korvel {

namespace {

std::string Text(const AnsiString& text) { return vcl::ToUtf8(text); }

// One line per operation the program makes on its window.
class TraceMonitor : public Monitor {
 public:
  explicit TraceMonitor(std::ostream& out) : out_(out) {}
  void ProgressMax(int value) override { out_ << "progress.max " << value << '\n'; }
  void ProgressPosition(int value) override { out_ << "progress.position " << value << '\n'; }
  void MemoClear() override { out_ << "memo.clear\n"; }
  void MemoAdd(const AnsiString& line) override { out_ << "memo.add " << Text(line) << '\n'; }
  void TextOut(int, int, const AnsiString& text) override {
    out_ << "status " << Text(text) << '\n';
  }
  void CursorSet(const TControl& control, TCursor cursor) override {
    std::string name = "form";
    if (!dynamic_cast<const TForm*>(&control)) {
      name = control.Name;
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    out_ << "cursor." << name << ' ' << (cursor == crHourGlass ? "hourglass" : "default") << '\n';
  }
  void VisibleSet(bool visible) override {
    out_ << "visible " << (visible ? "true" : "false") << '\n';
  }
  void DriveChanged(char letter) override {
    out_ << "drive";
    if (letter) out_ << ' ' << letter;
    out_ << '\n';
  }
  void RadioClicked(int index) override { out_ << "mode " << index << '\n'; }
  void MessageBoxShown(const AnsiString& caption, const AnsiString& text, int answer) override {
    out_ << "msgbox " << Text(caption) << " | " << Text(text) << " -> "
         << (answer == IDOK ? "ok" : "cancel") << '\n';
  }
  void FormClosed() override { out_ << "close\n"; }

 private:
  std::ostream& out_;
};

// What a person would read: the memo lines, the status line and the message boxes.
class ReaderMonitor : public Monitor {
 public:
  explicit ReaderMonitor(std::ostream& out) : out_(out) {}
  void MemoAdd(const AnsiString& line) override { out_ << Text(line) << '\n'; }
  void TextOut(int, int, const AnsiString& text) override { out_ << "» " << Text(text) << '\n'; }
  void MessageBoxShown(const AnsiString& caption, const AnsiString& text, int answer) override {
    out_ << "[" << Text(caption) << "] " << Text(text) << " -> "
         << (answer == IDOK ? "OK" : "Cancel") << '\n';
  }

 private:
  std::ostream& out_;
};

bool ParseMode(const std::string& text, int* mode) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '3') return false;
  *mode = text[0] - '0';
  return true;
}

std::string DriveLetters() {
  std::string letters;
  for (const DriveInfo& info : drives::List()) {
    if (!letters.empty()) letters += ' ';
    letters += info.letter;
  }
  return letters.empty() ? "none" : letters;
}

}  // namespace

const char* Usage() {
  return "usage: korvel [layer options] [--headless [--trace] [--screenshot FILE.png] [actions]]\n"
         "  --headless          run without a display; the actions below follow start-up, in "
         "order,\n"
         "                      then the window is closed\n"
         "  --trace             print one line per operation on the window instead of its texts\n"
         "  --screenshot FILE   save a PNG picture of the window after the last action\n"
         "  --help, --version\n"
         "actions:\n"
         "  --select L          pick drive L in the drive selector\n"
         "  --mode N            pick mode N (0 quick, 1 folders, 2 some files, 3 all files)\n"
         "  --answer ok|cancel  the answer to every later question (cancel until given)\n"
         "  --start             press Start\n"
         "  --close             press Close (nothing may follow)\n"
         "layer options:\n";
}

Parsed ParseArguments(const std::vector<std::string>& args, RunOptions* options,
                      std::string* error) {
  RunOptions result;
  bool closed = false;
  std::string first_headless_only;
  auto fail = [error](const std::string& why) {
    *error = why;
    return Parsed::Error;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    if (arg == "--help") return Parsed::Help;
    if (arg == "--version") return Parsed::Version;
    if (arg == "--headless") {
      result.headless = true;
      continue;
    }
    bool is_action = arg == "--select" || arg == "--mode" || arg == "--answer" ||
                     arg == "--start" || arg == "--close";
    if (is_action && closed)
      return fail(arg + " comes after --close; --close must be the last action");
    if (arg == "--trace") {
      result.trace = true;
    } else if (arg == "--screenshot") {
      if (!value(&result.screenshot) || result.screenshot.empty())
        return fail("--screenshot needs a file name, such as --screenshot window.png");
    } else if (arg == "--select") {
      std::string letter;
      if (!value(&letter)) return fail("--select needs a drive letter, such as --select a");
      if (letter.size() == 2 && letter[1] == ':') letter.resize(1);
      if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])) ||
          !drives::Find(letter[0]))
        return fail("--select " + letter + ": no such drive; the drives are " + DriveLetters() +
                    " (add one with --drive)");
      Action action;
      action.kind = Action::Select;
      action.drive = static_cast<char>(std::tolower(static_cast<unsigned char>(letter[0])));
      result.actions.push_back(action);
    } else if (arg == "--mode") {
      std::string text;
      Action action;
      action.kind = Action::Mode;
      if (!value(&text) || !ParseMode(text, &action.mode))
        return fail("--mode " + text + ": give a mode from 0 to 3");
      result.actions.push_back(action);
    } else if (arg == "--answer") {
      std::string text;
      if (!value(&text) || (text != "ok" && text != "cancel"))
        return fail("--answer " + text + ": give ok or cancel");
      Action action;
      action.kind = Action::Answer;
      action.ok = text == "ok";
      result.actions.push_back(action);
    } else if (arg == "--start") {
      result.actions.push_back(Action{Action::Start, 0, 0, false, {}});
    } else if (arg == "--close") {
      result.actions.push_back(Action{Action::Close, 0, 0, false, {}});
      closed = true;
    } else {
      return fail("unknown option " + arg + "; see korvel --help");
    }
    if (first_headless_only.empty()) first_headless_only = arg;
  }
  if (!result.headless && !first_headless_only.empty())
    return fail(first_headless_only + " needs --headless");
  *options = std::move(result);
  return Parsed::Run;
}

namespace {

void ApplyAction(const Action& action, int* answer) {
  switch (action.kind) {
    case Action::Select:
      Form1->DriveComboBox1->UserSelect(action.drive);
      break;
    case Action::Mode:
      Form1->RadioGroup1->UserSelect(action.mode);
      break;
    case Action::Answer:
      *answer = action.ok ? IDOK : IDCANCEL;
      break;
    case Action::Start:
      Form1->Button1->Click();
      break;
    case Action::Close:
      Form1->Button2->Click();
      break;
    case Action::Call:
      if (action.call) action.call();
      break;
  }
}

}  // namespace

int RunProgram(const RunOptions& options, std::ostream& out) {
  std::unique_ptr<Monitor> monitor;
  auto answer = std::make_shared<int>(IDCANCEL);
  bool screenshot_failed = false;
  if (options.headless) {
    if (options.trace)
      monitor = std::make_unique<TraceMonitor>(out);
    else
      monitor = std::make_unique<ReaderMonitor>(out);
    vcl::SetMonitor(monitor.get());
    // Questions take the given answer; boxes with OK alone are answered OK.
    vcl::SetMessageBoxHook([answer](const AnsiString&, const AnsiString&, unsigned type) {
      return (type & 0xF) == MB_OKCANCEL ? *answer : IDOK;
    });
  }

  CreateScanState();
  vcl::CreateApplication();
  if (options.headless) {
    Application->Script = [&options, answer, &screenshot_failed] {
      auto shoot = [&] {
        if (!options.screenshot.empty() && !Form1->SaveScreenshot(options.screenshot))
          screenshot_failed = true;
      };
      bool shot = false;
      for (const Action& action : options.actions) {
        if (action.kind == Action::Close && !shot) {
          shoot();
          shot = true;
        }
        Application->HandleEvent([&] { ApplyAction(action, answer.get()); });
        if (Form1->Closed()) break;
      }
      if (!shot) shoot();
      if (!Form1->Closed()) Form1->Close();
    };
  }
  int status = ProgramEntry();
  out.flush();
  DestroyScanState();
  vcl::DestroyApplication();
  Form1 = nullptr;
  vcl::SetMonitor(nullptr);
  vcl::SetMessageBoxHook(nullptr);
  if (screenshot_failed) {
    std::cerr << "korvel: cannot write the picture " << options.screenshot
              << "; check that its folder exists and can be written\n";
    return 1;
  }
  return status;
}

}  // namespace korvel
