#include "app/form1.h"

#include <cctype>

#include "app/texts.h"
#include "platform/crt.h"
#include "platform/drives.h"
#include "platform/findfile.h"
#include "scan/scan_state.h"

TForm1* Form1 = nullptr;

namespace {

constexpr int kProbeMask = 63;

std::uint16_t Low16(int value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

// The root of a drive designator: the mirror and the list file always go there, whatever
// directory the drive remembers from an earlier run.
AnsiString RootOf(const AnsiString& drive) { return drive + "\\"; }

void SetBusyCursors(TCursor cursor) {
  Form1->SetCursor(cursor);
  Form1->Button1->SetCursor(cursor);
}

}  // namespace

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  ReadResource("TFORM1");
  SetScanWindow(this);
  try {
    SetVisible(false);
    StartupScan();
  } catch (...) {
    SetScanWindow(nullptr);  // the destructor of a half-built form does not run
    throw;
  }
}

TForm1::~TForm1() {
  if (GetScanWindow() == this) SetScanWindow(nullptr);
}

bool TForm1::BindField(const std::string& name, TControl* control) {
  auto bind = [control](auto*& field) {
    field = dynamic_cast<std::remove_reference_t<decltype(field)>>(control);
    return field != nullptr;
  };
  if (name == "Button1") return bind(Button1);
  if (name == "Memo1") return bind(Memo1);
  if (name == "DriveComboBox1") return bind(DriveComboBox1);
  if (name == "ProgressBar1") return bind(ProgressBar1);
  if (name == "Button2") return bind(Button2);
  if (name == "RadioGroup1") return bind(RadioGroup1);
  if (name == "Label1") return bind(Label1);
  if (name == "Label2") return bind(Label2);
  if (name == "Label3") return bind(Label3);
  if (name == "Label4") return bind(Label4);
  return false;
}

TNotifyEvent TForm1::FindMethod(const std::string& name) {
  if (name == "Button1Click") return [this](TObject* sender) { Button1Click(sender); };
  if (name == "DriveComboBox1Change")
    return [this](TObject* sender) { DriveComboBox1Change(sender); };
  if (name == "Button2Click") return [this](TObject* sender) { Button2Click(sender); };
  if (name == "RadioGroup1Click") return [this](TObject* sender) { RadioGroup1Click(sender); };
  return {};
}

// ---- What the scan engine does to the window. While a command runs the window may
// repaint, but it handles no input until the command ends.

void TForm1::SetProgressPosition(std::uint16_t position) {
  ProgressBar1->SetPosition(position);
  if (Visible()) Application->ProcessPaintMessages();
}

void TForm1::ClearMemo() {
  Memo1->Lines->Clear();
  if (Visible()) Application->ProcessPaintMessages();
}

void TForm1::AddMemoLine(const AnsiString& line) {
  Memo1->Lines->Add(line);
  if (Visible()) Application->ProcessPaintMessages();
}

void TForm1::PaintStatusLine(const TRect& rect, int x, int y, const AnsiString& text) {
  Canvas->Brush.Style = bsSolid;
  Canvas->Brush.Color = clBtnFace;
  Canvas->FillRect(rect);
  Canvas->TextOut(x, y, text);
  if (Visible()) Application->ProcessPaintMessages();
}

// ---- Start-up

void StartupScan() {
  ScanState& s = *State;
  if (FindFirst("C:\\Windows\\System\\Kernel32.dll", kProbeMask, s.SearchRec) == 0) {
    s.SystemDrive = "C:";
  } else if (FindFirst("A:\\Windows\\System\\Kernel32.dll", kProbeMask, s.SearchRec) == 0) {
    s.SystemDrive = "A:";
  }
  FindClose(s.SearchRec);
  // Without a system file, the drive current at start-up is the system drive for the whole
  // run, so a later Start walks it too and never the target it has just entered.
  if (s.SystemDrive.IsEmpty()) {
    if (char current = drives::CurrentDrive())
      s.SystemDrive = AnsiString(
          std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(current)))) +
          ":");
  }
  s.SourceRoot = s.SystemDrive;
  s.Mode = ModeQuick;
  if (!s.SystemDrive.IsEmpty()) {
    WalkTree();
  } else {
    // No drive to count: the memo still shows the count line alone.
    Form1->Memo1->Lines->Clear();
  }
  Form1->SetVisible(true);
  Form1->ProgressBar1->SetPosition(0);
  Form1->Memo1->Lines->Add(texts::CountPrefix() + IntToStr(s.EntryTotal));
  s.Mode = ModeFoldersOnly;
}

// ---- Commands

void TForm1::Button1Click(TObject*) {
  ScanState& s = *State;
  s.TargetDrive = s.SelectedDriveLetter + ":";
  int found = FindFirst(s.TargetDrive + "\\Windows\\System\\Kernel32.dll", kProbeMask, s.SearchRec);
  FindClose(s.SearchRec);
  if (found == 0 &&
      Application->MessageBox(texts::Question(), texts::QuestionCaption(), MB_OKCANCEL) == IDCANCEL)
    return;

  // A target that cannot be used stops the run before anything is made anywhere.
  if (s.SelectedDriveLetter.IsEmpty()) {
    Application->MessageBox(texts::NoDriveSelected(), texts::ProgramCaption(), MB_OK);
    return;
  }
  if (rtl::chdir(RootOf(s.TargetDrive)) != 0) {
    Application->MessageBox(texts::DriveUnusable(s.TargetDrive), texts::ProgramCaption(), MB_OK);
    return;
  }

  s.MirrorFolderName = "Korvel";
  rtl::mkdir(s.MirrorFolderName);
  s.SourceRoot = s.SystemDrive;
  s.TargetRoot = s.TargetDrive;
  ProgressBar1->SetMax(Low16(s.EntryTotal));
  SetBusyCursors(crHourGlass);
  s.EntryTotal = 0;

  try {
    // No system drive at all: nothing to walk, and an empty list file.
    if (!s.SystemDrive.IsEmpty()) WalkTree();
    rtl::chdir(RootOf(s.TargetDrive));
    WriteListFile();
    Memo1->Lines->Clear();
    Memo1->Lines->Add(texts::Finished());
  } catch (...) {
    // The error is shown by the event dispatch; the pointer and the current directory are
    // put back first.
    SetBusyCursors(crDefault);
    if (!s.SystemDrive.IsEmpty()) rtl::chdir(s.SystemDrive);
    throw;
  }
  SetBusyCursors(crDefault);
  if (!s.SystemDrive.IsEmpty()) rtl::chdir(s.SystemDrive);

  if (!s.ListFileComplete)
    Application->MessageBox(texts::ListFileIncomplete(), texts::ProgramCaption(), MB_OK);
}

void TForm1::DriveComboBox1Change(TObject*) {
  char letter = DriveComboBox1->Drive();
  State->SelectedDriveLetter = letter ? AnsiString(std::string(1, letter)) : AnsiString();
}

void TForm1::RadioGroup1Click(TObject*) { State->Mode = RadioGroup1->ItemIndex; }

void TForm1::Button2Click(TObject*) { Close(); }

// ---- Program entry

int ProgramEntry() {
  try {
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  return 0;
}
