// The Start command: the question, each mode end to end, and the mended faults.
#include <sys/stat.h>

#include <QCoreApplication>

#include "platform/crt.h"
#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

using Lines = std::vector<std::string>;

// The list file of the small system drive, written out by hand.
const std::string kListFile =
    "\\   1KB 97_03_15 AUTOEXEC.BAT\r\n"
    "\\My Documents\r\n"
    "\\WINDOWS\r\n"
    "\\My Documents\\.\r\n"
    "\\My Documents\\..\r\n"
    "\\My Documents\\   1KB 00_01_02 \x83\x81\x83\x82.txt\r\n"
    "\\WINDOWS\\.\r\n"
    "\\WINDOWS\\..\r\n"
    "\\WINDOWS\\SYSTEM\r\n"
    "\\WINDOWS\\   2KB 98_05_06 WIN.INI\r\n"
    "\\WINDOWS\\SYSTEM\\.\r\n"
    "\\WINDOWS\\SYSTEM\\..\r\n"
    "\\WINDOWS\\SYSTEM\\   3KB 98_05_06 KERNEL32.DLL\r\n";

const char* kCountLine = "memo.add 総ファイル数＝13";

struct ModeCase {
  int mode;
  Lines tree;  // a: after the run
};

TEST_F(AppTest, EachModeCataloguesTheSystemDriveOntoTheFloppy) {
  const ModeCase cases[] = {
      {0, {"Korvel/", "korvel.txt"}},
      {1,
       {"Korvel/", "Korvel/My Documents/", "Korvel/Program Files/", "Korvel/WINDOWS/",
        "Korvel/WINDOWS/SYSTEM/", "korvel.txt"}},
      {2,
       {"Korvel/", "Korvel/   1KB 97_03_15 AUTOEXEC.BAT", "Korvel/My Documents/",
        "Korvel/My Documents/   1KB 00_01_02 メモ.txt", "Korvel/Program Files/", "Korvel/WINDOWS/",
        "Korvel/WINDOWS/SYSTEM/", "korvel.txt"}},
      {3,
       {"Korvel/", "Korvel/   1KB 97_03_15 AUTOEXEC.BAT", "Korvel/My Documents/",
        "Korvel/My Documents/   1KB 00_01_02 メモ.txt", "Korvel/Program Files/", "Korvel/WINDOWS/",
        "Korvel/WINDOWS/   2KB 98_05_06 WIN.INI", "Korvel/WINDOWS/SYSTEM/",
        "Korvel/WINDOWS/SYSTEM/   3KB 98_05_06 KERNEL32.DLL", "korvel.txt"}},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    drives::UnmountAll();
    fixture::TempDir dir;
    c_root = dir / "c";
    a_root = dir / "a";
    fixture::MakeDirs(a_root);
    MountSystemAndFloppy();
    Lines lines = Run([&] {
      PickDrive('a');
      PickMode(c.mode);
      Press(Form1->Button1);
      EXPECT_EQ(State->EntryTotal, 13);
      EXPECT_EQ(State->TargetDrive, AnsiString("a:"));
      ASSERT_EQ(Form1->Memo1->Lines->Count(), 1);
      EXPECT_EQ((*Form1->Memo1->Lines)[0].Bytes(), "\x8F\x49\x97\xB9");
      EXPECT_EQ(Form1->Cursor(), crDefault);
      EXPECT_EQ(Form1->Button1->Cursor(), crDefault);
      EXPECT_EQ(Form1->ProgressBar1->Max(), 13);
      EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\"));
    });
    EXPECT_EQ(TreeOf(a_root), c.tree);
    EXPECT_EQ(fixture::ReadFile(a_root + "/korvel.txt"), kListFile);
    Lines after = After(lines, kCountLine);
    ASSERT_GE(after.size(), 5u);
    EXPECT_EQ(after[0], "drive a");
    size_t head = c.mode == 1 ? 1 : 2;  // mode 1 is selected already
    EXPECT_EQ(
        Lines(after.begin() + static_cast<long>(head), after.begin() + static_cast<long>(head) + 3),
        (Lines{"progress.max 13", "cursor.form hourglass", "cursor.button1 hourglass"}));
    EXPECT_EQ(Lines(after.end() - 5, after.end()),
              (Lines{"memo.clear", "memo.add 終了", "cursor.form default", "cursor.button1 default",
                     "close"}));
    EXPECT_EQ(boxes, 0);
  }
}

TEST_F(AppTest, QuestionOnASystemDriveTargetStopsOnCancelAndGoesOnWithOk) {
  MountSystemAndFloppy();
  Lines lines = Run([&] {
    // The target is c:, the drive current at start, which holds the system file.
    Press(Form1->Button1);
    EXPECT_EQ(State->TargetDrive, AnsiString("c:"));
    EXPECT_EQ(State->EntryTotal, 13);
    EXPECT_EQ(Form1->ProgressBar1->Max(), 100);
    EXPECT_FALSE(fixture::Exists(c_root + "/Korvel"));
    answer = IDOK;
    Press(Form1->Button1);
  });
  Lines after = After(lines, kCountLine);
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(after[0], "msgbox MessageBox | このドライブでいいですか -> cancel");
  EXPECT_EQ(after[1], "msgbox MessageBox | このドライブでいいですか -> ok");
  EXPECT_EQ(after[2], "progress.max 13");
  // The run onto its own drive catalogues the tree without its own mirror folder.
  EXPECT_TRUE(fixture::Exists(c_root + "/Korvel/WINDOWS/SYSTEM"));
  EXPECT_EQ(fixture::ReadFile(c_root + "/korvel.txt").substr(0, 31),
            "\\   1KB 97_03_15 AUTOEXEC.BAT\r\n");
  EXPECT_EQ(boxes, 2);
}

TEST_F(AppTest, SecondRunKeepsMirrorAndListFileAtTheTargetRoot) {
  MountSystemAndFloppy();
  fixture::MakeDirs(a_root + "/OLD");
  Lines lines = Run([&] {
    PickDrive('a');
    // a: remembers a folder of its own before the first run.
    ASSERT_EQ(rtl::chdir("a:\\OLD"), 0);
    ASSERT_EQ(rtl::chdir("c:"), 0);
    Press(Form1->Button1);
    EXPECT_EQ(Form1->ProgressBar1->Max(), 13);
    PickMode(3);
    Press(Form1->Button1);
    EXPECT_EQ(Form1->ProgressBar1->Max(), 13);  // the first run's count
  });
  EXPECT_EQ(
      TreeOf(a_root),
      (Lines{"Korvel/", "Korvel/   1KB 97_03_15 AUTOEXEC.BAT", "Korvel/My Documents/",
             "Korvel/My Documents/   1KB 00_01_02 メモ.txt", "Korvel/Program Files/",
             "Korvel/WINDOWS/", "Korvel/WINDOWS/   2KB 98_05_06 WIN.INI", "Korvel/WINDOWS/SYSTEM/",
             "Korvel/WINDOWS/SYSTEM/   3KB 98_05_06 KERNEL32.DLL", "OLD/", "korvel.txt"}));
  EXPECT_EQ(fixture::ReadFile(a_root + "/korvel.txt"), kListFile);
}

struct UnusableCase {
  const char* what;
  std::function<void()> prepare;  // inside the run, before Start
  const char* message;
};

TEST_F(AppTest, UnusableTargetStopsStartWithAMessageAndChangesNothing) {
  const UnusableCase cases[] = {
      {"no drive selected", [] { State->SelectedDriveLetter = AnsiString(); },
       "msgbox Korvel | ドライブが選択されていません -> ok"},
      {"no such drive", [] { State->SelectedDriveLetter = AnsiString("q"); },
       "msgbox Korvel | ドライブ q: を使用できません -> ok"},
  };
  for (const UnusableCase& c : cases) {
    SCOPED_TRACE(c.what);
    drives::UnmountAll();
    MountSystemAndFloppy();
    Lines lines = Run([&] {
      c.prepare();
      Press(Form1->Button1);
      EXPECT_EQ(State->EntryTotal, 13);
      EXPECT_EQ(Form1->ProgressBar1->Max(), 100);
      EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\"));
    });
    EXPECT_EQ(After(lines, kCountLine), (Lines{c.message, "close"}));
    EXPECT_EQ(TreeOf(a_root), Lines{});
    EXPECT_FALSE(fixture::Exists(c_root + "/Korvel"));
    EXPECT_FALSE(fixture::Exists(c_root + "/korvel.txt"));
  }
}

TEST_F(AppTest, NoDriveAtStartGivesNoDriveSelectedOnStart) {
  MakeSystemTree(c_root);
  Mount('c', c_root);
  drives::SetStartDirectoryFromHost();
  ASSERT_EQ(drives::CurrentDrive(), 0);
  Lines lines = Run([&] { Press(Form1->Button1); });
  EXPECT_EQ(After(lines, kCountLine),
            (Lines{"msgbox Korvel | ドライブが選択されていません -> ok", "close"}));
  EXPECT_EQ(TreeOf(c_root),
            (Lines{"AUTOEXEC.BAT", "My Documents/", "My Documents/メモ.txt", "WINDOWS/",
                   "WINDOWS/SYSTEM/", "WINDOWS/SYSTEM/KERNEL32.DLL", "WINDOWS/WIN.INI"}));
}

TEST_F(AppTest, WriteProtectedTargetEndsTheRunAndThenSaysTheListFileIsMissing) {
  MakeSystemTree(c_root);
  Mount('c', c_root);
  Mount('a', a_root, /*read_only=*/true);
  StartIn("c:\\");
  Lines lines = Run([&] {
    PickDrive('a');
    Press(Form1->Button1);
    EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\"));
  });
  Lines after = After(lines, kCountLine);
  ASSERT_GE(after.size(), 6u);
  EXPECT_EQ(Lines(after.end() - 6, after.end()),
            (Lines{"memo.clear", "memo.add 終了", "cursor.form default", "cursor.button1 default",
                   "msgbox Korvel | korvel.txt を書き込めませんでした -> ok", "close"}));
  EXPECT_EQ(TreeOf(a_root), Lines{});
}

TEST_F(AppTest, AnErrorDuringTheRunPutsCursorsAndDirectoryBackBeforeItShows) {
  MountSystemAndFloppy();
  bool armed = false;
  recorder.after = [&armed](const std::string& line) {
    if (armed && line == "status C:\\WINDOWS") {
      armed = false;
      throw EConvertError(AnsiString::FromUtf8("日付に変換できない値が渡されました"));
    }
  };
  Lines lines = Run([&] {
    PickDrive('a');
    armed = true;
    Press(Form1->Button1);
    EXPECT_FALSE(Form1->Closed());  // the loop goes on
    EXPECT_EQ(Form1->Cursor(), crDefault);
    EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\"));
  });
  std::string title = QCoreApplication::applicationName().toStdString();
  Lines after = After(After(lines, kCountLine), "status C:\\WINDOWS");
  EXPECT_EQ(after,
            (Lines{"cursor.form default", "cursor.button1 default",
                   "msgbox " + title + " | 日付に変換できない値が渡されました. -> ok", "close"}));
  EXPECT_FALSE(fixture::Exists(a_root + "/korvel.txt"));
}

TEST_F(AppTest, WithoutASystemFileTheStartDriveIsTheSystemDriveForEveryWalk) {
  // d: is the system drive of this run although it holds no system file.
  std::string d_root = tmp / "d";
  fixture::WriteFile(d_root + "/DATA.TXT", 10);
  fixture::SetMtime(d_root + "/DATA.TXT", fixture::LocalTime(1999, 12, 31));
  Mount('a', a_root);
  Mount('d', d_root);
  StartIn("d:\\");
  Lines lines = Run([&] {
    EXPECT_EQ(State->SystemDrive, AnsiString("D:"));
    EXPECT_EQ(State->EntryTotal, 1);
    PickDrive('a');
    Press(Form1->Button1);
  });
  EXPECT_EQ(fixture::ReadFile(a_root + "/korvel.txt"), "\\   1KB 99_12_31 DATA.TXT\r\n");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "status D:\\Program Files"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "status \\Program Files"), lines.end());
}

TEST_F(AppTest, WithNoSystemDriveAtAllNothingIsWalked) {
  Mount('a', a_root);
  drives::SetStartDirectoryFromHost();
  ASSERT_EQ(drives::CurrentDrive(), 0);
  Lines lines = Run([&] {
    EXPECT_TRUE(State->SystemDrive.IsEmpty());
    ASSERT_EQ(Form1->Memo1->Lines->Count(), 1);
    PickDrive('a');
    Press(Form1->Button1);
  });
  EXPECT_EQ(lines,
            (Lines{"visible false", "memo.clear", "visible true", "drive", "progress.position 0",
                   "memo.add 総ファイル数＝0", "drive a", "progress.max 0", "cursor.form hourglass",
                   "cursor.button1 hourglass", "memo.clear", "memo.add 終了", "cursor.form default",
                   "cursor.button1 default", "close"}));
  EXPECT_EQ(TreeOf(a_root), (Lines{"Korvel/", "korvel.txt"}));
  EXPECT_EQ(fixture::ReadFile(a_root + "/korvel.txt"), "");
}

}  // namespace
}  // namespace apptest
