// The main window: its resource values and texts, the start-up order, the selectors, the
// Escape key and the exception display.
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <set>

#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

using Lines = std::vector<std::string>;

struct Bounds {
  const char* name;
  int left, top, width, height, tab_order;
};

TEST_F(AppTest, ResourceGivesEveryControlItsBoundsTabOrderAndSettings) {
  MountSystemAndFloppy();
  const Bounds expected[] = {
      {"Label1", 272, 56, 73, 17, -1},        {"Label2", 272, 72, 76, 12, -1},
      {"Label3", 24, 24, 366, 12, -1},        {"Label4", 24, 8, 353, 12, -1},
      {"Button1", 352, 56, 57, 33, 0},        {"Memo1", 24, 168, 385, 153, 1},
      {"DriveComboBox1", 272, 88, 73, 18, 2}, {"ProgressBar1", 24, 328, 385, 17, 3},
      {"Button2", 352, 104, 57, 33, 4},       {"RadioGroup1", 24, 48, 241, 89, 5},
  };
  Run([&] {
    ASSERT_EQ(Form1->Controls().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
      const Bounds& b = expected[i];
      TControl* control = Form1->Controls()[i].get();  // in creation order
      SCOPED_TRACE(b.name);
      EXPECT_EQ(control->Name, b.name);
      EXPECT_EQ(control->Left, b.left);
      EXPECT_EQ(control->Top, b.top);
      EXPECT_EQ(control->Width, b.width);
      EXPECT_EQ(control->Height, b.height);
      EXPECT_EQ(control->TabOrder, b.tab_order);
      ASSERT_NE(control->Widget(), nullptr);
      EXPECT_EQ(control->Widget()->geometry(), QRect(b.left, b.top, b.width, b.height));
    }
    EXPECT_EQ(Form1->Left, 247);
    EXPECT_EQ(Form1->Top, 125);
    EXPECT_EQ(Form1->Width, 435);
    EXPECT_EQ(Form1->Height, 380);
    EXPECT_EQ(Form1->Caption, AnsiString("Korvel"));
    EXPECT_EQ(Form1->Widget()->windowTitle(), QString("Korvel"));
    // The client area holds every control; the progress bar ends at 345.
    EXPECT_GE(Form1->Widget()->height(), 345);
    EXPECT_GE(Form1->Widget()->width(), 409);
    EXPECT_EQ(Form1->ProgressBar1->Min(), 0);
    EXPECT_EQ(Form1->ProgressBar1->Max(), 100);
    EXPECT_TRUE(Form1->Button2->Cancel);
    EXPECT_FALSE(Form1->Button1->Cancel);
    EXPECT_FALSE(Form1->Button1->Default);
    EXPECT_FALSE(Form1->Button2->Default);
    EXPECT_EQ(Form1->RadioGroup1->ItemIndex, 1);
    EXPECT_EQ(Form1->Memo1->ScrollBars, ssBoth);
    EXPECT_TRUE(Form1->Memo1->WordWrap);
    EXPECT_FALSE(Form1->Memo1->ReadOnly);
    auto* edit = static_cast<QPlainTextEdit*>(Form1->Memo1->Widget());
    EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(edit->isReadOnly());
    // Tab order follows TabOrder.
    EXPECT_EQ(Form1->Button1->Widget()->nextInFocusChain(), Form1->Memo1->Widget());
  });
}

struct Text {
  const char* what;
  std::function<AnsiString()> get;
  const char* cp932;
};

TEST_F(AppTest, TextsAreTheExactCodePage932Bytes) {
  MountSystemAndFloppy();
  const Text texts[] = {
      {"Label1", [] { return Form1->Label1->Caption; },
       "\xCC\xDB\xAF\xCB\xDF\xB0\xC4\xDE\xD7\xB2\xCC\xDE\x82\xCC\x91\x49\x91\xF0"},
      {"Label2", [] { return Form1->Label2->Caption; },
       "\x20\x82\xCC\x20\x20\x20\x91\x49\x20\x20\x20\x91\xF0\x20\x20\x20"},
      {"Label3", [] { return Form1->Label3->Caption; },
       "\x83\x82\x81\x5B\x83\x68\x91\x49\x91\xF0\x82\xC6\xCC\xDB\xAF\xCB\xDF\xB0\xC3\xDE\xA8\xBD"
       "\xB8\xC4\xDE\xD7\xB2\xCC\xDE\x82\xCC\x91\x49\x91\xF0\x82\xF0\x82\xB5\x81\x41\x83\x58\x83"
       "\x5E\x81\x5B\x83\x67\x82\xF0\xB8\xD8\xAF\xB8\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82"
       "\xA2\x81\x42"},
      {"Label4", [] { return Form1->Label4->Caption; },
       "\xCC\xDB\xAF\xCB\xDF\xB0\xC3\xDE\xA8\xBD\xB8\xC4\xDE\xD7\xB2\xCC\xDE\x82\xC9\x81\x41\xCC"
       "\xAB\xB0\xCF\xAF\xC4\x8D\xCF\x82\xDD\x82\xCC\xCC\xDB\xAF\xCB\xDF\xB0\x82\xF0\x93\xFC\x82"
       "\xEA\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42\x81\x40\x8E\x9F\x82\xC9"},
      {"Button1", [] { return Form1->Button1->Caption; }, "\x83\x58\x83\x5E\x81\x5B\x83\x67"},
      {"Button2", [] { return Form1->Button2->Caption; }, "\x95\xC2\x82\xB6\x82\xE9"},
      {"RadioGroup1", [] { return Form1->RadioGroup1->Caption; },
       "\x83\x82\x81\x5B\x83\x68\x91\x49\x91\xF0"},
      {"item 0", [] { return Form1->RadioGroup1->Items.at(0); },
       "\x83\x4E\x83\x43\x83\x62\x83\x4E\x20\x81\x69\x74\x65\x78\x74\x20\x66\x69\x6C\x65\x20\x82"
       "\xCC\x82\xDD\x8D\xEC\x90\xAC\x81\x6A\x81\x40\x81\x48\x95\x62\x81\x40\x81\x48"},
      {"item 1", [] { return Form1->RadioGroup1->Items.at(1); },
       "\x46\x6F\x6C\x64\x65\x72\x20\x82\xCC\x82\xDD\x20\x8E\xE6\x93\xBE\x81\x40\x81\x40\x81\x40"
       "\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x3F\x20\x95\xAA\x81\x40\x81\x48"},
      {"item 2", [] { return Form1->RadioGroup1->Items.at(2); },
       "\x46\x6F\x6C\x64\x65\x72\x20\x82\xC6\x88\xEA\x95\x94\x20\x46\x69\x6C\x65\x20\x8E\xE6\x93"
       "\xBE\x81\x40\x81\x40\x81\x40\x8F\x5C\x81\x48\x95\xAA\x81\x40\x81\x48"},
      {"item 3", [] { return Form1->RadioGroup1->Items.at(3); },
       "\x91\x53\x20\x46\x69\x6C\x65\x20\x8E\xE6\x93\xBE\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40"
       "\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x48\x8F\x5C\x95\xAA\x81\x40\x81\x48"},
      {"form font", [] { return Form1->Font.Name; },
       "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"},
      {"Label1 font", [] { return Form1->Label1->Font.Name; },
       "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E"},
      {"Memo1 font", [] { return Form1->Memo1->Font.Name; },
       "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E"},
  };
  Run([&] {
    for (const Text& t : texts) EXPECT_EQ(t.get().Bytes(), std::string(t.cp932)) << t.what;
    EXPECT_EQ(Form1->RadioGroup1->Items.size(), 4u);
  });
}

TEST_F(AppTest, FontsMapToTheIpaFontsAtTwelvePixels) {
  MountSystemAndFloppy();
  Run([&] {
    struct Case {
      TControl* control;
      const char* family;
    };
    const Case cases[] = {{Form1->Label1, "IPAGothic"},
                          {Form1->Memo1, "IPAGothic"},
                          {Form1->Label3, "IPAPGothic"},
                          {Form1->Button1, "IPAPGothic"},
                          {Form1->RadioGroup1, "IPAPGothic"}};
    for (const Case& c : cases) {
      QFont font = c.control->Widget()->font();
      EXPECT_EQ(font.family(), QString(c.family)) << c.control->Name;
      EXPECT_EQ(font.pixelSize(), 12) << c.control->Name;
      // The font really exists on this machine, so nothing falls back silently.
      EXPECT_EQ(QFontInfo(font).family(), QString(c.family)) << c.control->Name;
    }
    EXPECT_FALSE(Form1->Label1->ParentFont);
    EXPECT_TRUE(Form1->Label2->ParentFont);
    auto* label = static_cast<QLabel*>(Form1->Label1->Widget());
    EXPECT_FALSE(label->wordWrap());
    // The caption is wider than the label: its end is cut, the bounds stay.
    EXPECT_GT(label->fontMetrics().horizontalAdvance(label->text()), Form1->Label1->Width);
    EXPECT_EQ(label->width(), 73);
  });
}

TEST_F(AppTest, IconIsOur32By32PictureIn16Colours) {
  QImage icon(":/MAINICON");
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.size(), QSize(32, 32));
  QImage indexed = icon.convertToFormat(QImage::Format_ARGB32);
  std::set<QRgb> colours;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (qAlpha(indexed.pixel(x, y)) == 255) colours.insert(indexed.pixel(x, y));
  EXPECT_LE(colours.size(), 16u);
  EXPECT_GE(colours.size(), 4u);
  MountSystemAndFloppy();
  Run([&] { EXPECT_FALSE(Form1->Widget()->windowIcon().isNull()); });
}

TEST_F(AppTest, StartUpShowsTheWindowOnlyAfterThePreCountWithTheCountLineAlone) {
  MountSystemAndFloppy();
  Lines lines = Run([&] {
    EXPECT_TRUE(Form1->Widget()->isVisible());
    ASSERT_EQ(Form1->Memo1->Lines->Count(), 1);
    EXPECT_EQ((*Form1->Memo1->Lines)[0].Bytes(),
              "\x91\x8D\x83\x74\x83\x40\x83\x43\x83\x8B\x90\x94\x81\x81"
              "13");
    EXPECT_EQ(static_cast<QPlainTextEdit*>(Form1->Memo1->Widget())->toPlainText(),
              QString::fromUtf8("総ファイル数＝13"));
    EXPECT_EQ(Form1->ProgressBar1->Position(), 0);
    EXPECT_EQ(State->Mode, 1);
    EXPECT_EQ(State->EntryTotal, 13);
    EXPECT_EQ(State->SystemDrive, AnsiString("C:"));
    EXPECT_EQ(State->SelectedDriveLetter, AnsiString("c"));
    EXPECT_EQ(Form1->DriveComboBox1->Drive(), 'c');
  });
  const Lines expected = {
      "visible false",
      "progress.position 0",
      "memo.clear",
      "status C:\\My Documents",
      "progress.position 3",
      "memo.clear",
      "status C:\\WINDOWS",
      "progress.position 6",
      "memo.clear",
      "progress.position 10",
      "memo.clear",
      "status C:\\Program Files",
      "progress.position 13",
      "memo.clear",
      "visible true",
      "drive c",
      "progress.position 0",
      "memo.add 総ファイル数＝13",
      "close",
  };
  EXPECT_EQ(lines, expected);
  // Nothing on screen before "visible true".
  auto shown_at = std::find(lines.begin(), lines.end(), "visible true") - lines.begin();
  for (long i = 0; i < shown_at; ++i) EXPECT_FALSE(recorder.shown[static_cast<size_t>(i)]) << i;
  EXPECT_TRUE(recorder.shown[static_cast<size_t>(shown_at) + 1]);
  EXPECT_EQ(status, 0);
  // The pre-count makes nothing anywhere.
  EXPECT_EQ(TreeOf(a_root), Lines{});
}

struct ProbeCase {
  const char* what;
  bool on_c, on_a;
  const char* a_path;  // the system file on a:, in this spelling
  const char* expected;
};

TEST_F(AppTest, SystemDriveIsTheFirstOfCAndAHoldingTheSystemFile) {
  const ProbeCase cases[] = {
      {"on both", true, true, "WINDOWS/SYSTEM/KERNEL32.DLL", "C:"},
      {"on a only", false, true, "WINDOWS/SYSTEM/KERNEL32.DLL", "A:"},
      {"a folder of that name, other case", false, true, "windows/system/kernel32.dll/", "A:"},
  };
  for (const ProbeCase& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::TempDir dir;
    std::string croot = dir / "c", aroot = dir / "a";
    fixture::MakeDirs(croot);
    fixture::MakeDirs(aroot);
    if (c.on_c) fixture::WriteFile(croot + "/WINDOWS/SYSTEM/KERNEL32.DLL");
    if (c.on_a) {
      std::string p = c.a_path;
      if (p.back() == '/')
        fixture::MakeDirs(aroot + "/" + p);
      else
        fixture::WriteFile(aroot + "/" + p);
    }
    drives::UnmountAll();
    Mount('c', croot);
    Mount('a', aroot);
    StartIn("c:\\");
    Run([&] { EXPECT_EQ(State->SystemDrive, AnsiString(c.expected)); });
  }
}

TEST_F(AppTest, SelectorsReportOnlyRealChanges) {
  MountSystemAndFloppy();
  Lines lines = Run([&] {
    PickDrive('c');  // the current drive: nothing
    PickMode(1);     // the selected item: nothing
    EXPECT_EQ(State->SelectedDriveLetter, AnsiString("c"));
    PickDrive('a');
    EXPECT_EQ(State->SelectedDriveLetter, AnsiString("a"));
    PickMode(0);
    EXPECT_EQ(State->Mode, 0);
    PickMode(1);
    EXPECT_EQ(State->Mode, 1);
    // The widgets raise the same events.
    auto* combo = static_cast<QComboBox*>(Form1->DriveComboBox1->Widget());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), QString("a:"));
    emit combo->activated(0);  // a: again
    emit combo->activated(1);  // c:
    EXPECT_EQ(State->SelectedDriveLetter, AnsiString("c"));
    auto buttons = Form1->RadioGroup1->Widget()->findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 4);
    buttons[1]->click();  // selected already
    buttons[3]->click();
    EXPECT_EQ(State->Mode, 3);
  });
  EXPECT_EQ(After(lines, "memo.add 総ファイル数＝13"),
            (Lines{"drive a", "mode 0", "mode 1", "drive c", "mode 3", "close"}));
}

TEST_F(AppTest, DriveSelectorListsTheDrivesWithTheirNames) {
  MakeSystemTree(c_root);
  Mount('c', c_root);
  Mount('a', a_root);
  fixture::MakeDirs(tmp / "cd");
  DriveConfig cd;
  cd.letter = 'q';
  cd.hostPath = tmp / "cd";
  cd.kind = DriveKind::CdRom;
  cd.label = "WIN98SE";
  std::string error;
  ASSERT_TRUE(drives::Mount(cd, &error)) << error;
  StartIn("q:\\");
  Run([&] {
    auto* combo = static_cast<QComboBox*>(Form1->DriveComboBox1->Widget());
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QString("a:"));
    EXPECT_EQ(combo->itemText(1), QString("c: c"));
    EXPECT_EQ(combo->itemText(2), QString("q: WIN98SE"));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(combo->itemIcon(i).isNull());
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(State->SelectedDriveLetter, AnsiString("q"));
  });
}

TEST_F(AppTest, NoCurrentDriveAtStartMeansNoDriveSelected) {
  MakeSystemTree(c_root);
  Mount('c', c_root);
  drives::SetStartDirectoryFromHost();  // the test's own folder lies on no drive
  ASSERT_EQ(drives::CurrentDrive(), 0);
  Lines lines = Run([&] {
    EXPECT_TRUE(State->SelectedDriveLetter.IsEmpty());
    EXPECT_EQ(Form1->DriveComboBox1->Drive(), 0);
    EXPECT_EQ(static_cast<QComboBox*>(Form1->DriveComboBox1->Widget())->currentIndex(), -1);
  });
  EXPECT_NE(std::find(lines.begin(), lines.end(), "drive"), lines.end());
}

void SendEscape(QWidget* widget) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

TEST_F(AppTest, EscapeClosesUnlessTheMemoHasIt) {
  MountSystemAndFloppy();
  Lines lines = Run([&] {
    SendEscape(Form1->Memo1->Widget());
    EXPECT_FALSE(Form1->Closed());
    SendEscape(Form1->Button1->Widget());
    EXPECT_TRUE(Form1->Closed());
  });
  EXPECT_EQ(After(lines, "memo.add 総ファイル数＝13"), Lines{"close"});
}

TEST_F(AppTest, CloseButtonEndsTheProgramWithoutAQuestion) {
  MountSystemAndFloppy();
  Lines lines = Run([&] {
    Press(Form1->Button2);
    EXPECT_TRUE(Form1->Closed());
    EXPECT_TRUE(Application->Terminated);
  });
  EXPECT_EQ(After(lines, "memo.add 総ファイル数＝13"), Lines{"close"});
  EXPECT_EQ(boxes, 0);
  EXPECT_EQ(status, 0);
}

TEST_F(AppTest, MemoTakesWhatTheUserTypes) {
  MountSystemAndFloppy();
  Run([&] {
    auto* edit = static_cast<QPlainTextEdit*>(Form1->Memo1->Widget());
    edit->setPlainText(QString::fromUtf8("メモ\nnext"));
    ASSERT_EQ(Form1->Memo1->Lines->Count(), 2);
    EXPECT_EQ((*Form1->Memo1->Lines)[0].Bytes(), "\x83\x81\x83\x82");
  });
}

TEST_F(AppTest, QuestionButtonsAreInJapanese) {
  MountSystemAndFloppy();
  Run([&] {
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
              QString::fromUtf8("キャンセル"));
  });
}

struct BrokenResource {
  const char* what;
  const char* text;
  const char* message;  // UTF-8 of the CP932 message
};

TEST_F(AppTest, UnreadableFormResourceShowsOneErrorBoxAndEnds) {
  const BrokenResource cases[] = {
      {"unknown property", "object Form1: TForm1\n  Lefft = 1\nend\n",
       "フォームリソース TFORM1 を読めません（2 行目: プロパティ Lefft "
       "またはその値が正しくありません）."},
      {"missing end", "object Form1: TForm1\n  object Button1: TButton\n  end\n",
       "フォームリソース TFORM1 を読めません（4 行目: end がありません）."},
      {"unknown handler",
       "object Form1: TForm1\n  object Button1: TButton\n    OnClick = Go\n  end\nend\n",
       "フォームリソース TFORM1 を読めません（3 行目: フォームにメソッド Go がありません）."},
  };
  for (const BrokenResource& c : cases) {
    SCOPED_TRACE(c.what);
    drives::UnmountAll();
    MountSystemAndFloppy();
    vcl::SetFormResourceOverride("TFORM1", std::string(c.text));
    Lines lines = Run();
    std::string title = QCoreApplication::applicationName().toStdString();
    EXPECT_EQ(lines, Lines{"msgbox " + title + " | " + c.message + " -> ok"});
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Form1, nullptr);
  }
}

TEST_F(AppTest, ExceptionAfterTheWindowShowedEndsStartUpWithOneBox) {
  MountSystemAndFloppy();
  recorder.after = [](const std::string& line) {
    if (line == "progress.position 0" && Form1 && Form1->Visible())
      throw EConvertError(AnsiString::FromUtf8("日付に変換できない値が渡されました"));
  };
  Lines lines = Run([] { ADD_FAILURE() << "the message loop ran"; });
  std::string title = QCoreApplication::applicationName().toStdString();
  Lines expected = {"progress.position 0",
                    "msgbox " + title + " | 日付に変換できない値が渡されました. -> ok"};
  EXPECT_EQ(After(lines, "drive c"), expected);
  EXPECT_EQ(Form1, nullptr);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace apptest

namespace apptest {
namespace {

TEST_F(AppTest, CloseBoxEndsTheProgramButWaitsForARunningCommand) {
  MountSystemAndFloppy();
  recorder.after = [](const std::string& line) {
    if (line == "status C:\\WINDOWS" && Application->Busy()) Form1->Widget()->close();
  };
  Lines lines = Run([&] {
    PickDrive('a');
    Press(Form1->Button1);
    EXPECT_TRUE(Form1->Closed());
  });
  Lines after = After(lines, "memo.add 終了");
  EXPECT_EQ(after, (Lines{"cursor.form default", "cursor.button1 default", "close"}));
  EXPECT_EQ(fixture::ReadFile(a_root + "/korvel.txt").size(), 292u);

  recorder.after = nullptr;
  lines = Run([&] {
    Form1->Widget()->close();
    EXPECT_TRUE(Form1->Closed());
  });
  EXPECT_EQ(After(lines, "memo.add 総ファイル数＝13"), Lines{"close"});
}

}  // namespace
}  // namespace apptest

namespace apptest {
namespace {

struct RealBoxCase {
  const char* what;
  unsigned type;
  QMessageBox::StandardButton press;  // NoButton: the Escape key
  int answer;
  QStringList buttons;
};

// The box a user sees, without the hook: Japanese buttons, OK the default, Escape cancels.
TEST(RealMessageBox, ButtonsDefaultAndAnswers) {
  const RealBoxCase cases[] = {
      {"ok", MB_OKCANCEL, QMessageBox::Ok, IDOK, {"OK", "キャンセル"}},
      {"cancel", MB_OKCANCEL, QMessageBox::Cancel, IDCANCEL, {"OK", "キャンセル"}},
      {"escape", MB_OKCANCEL, QMessageBox::NoButton, IDCANCEL, {"OK", "キャンセル"}},
      {"ok only, escape", MB_OK | MB_ICONERROR, QMessageBox::NoButton, IDOK, {"OK"}},
  };
  vcl::CreateApplication();
  Application->Initialize();
  for (const RealBoxCase& c : cases) {
    SCOPED_TRACE(c.what);
    QStringList seen;
    bool ok_default = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) {
        ADD_FAILURE() << "no modal box";
        return;
      }
      for (QAbstractButton* button : box->buttons()) seen << button->text();
      seen.sort();
      ok_default = box->defaultButton() == box->button(QMessageBox::Ok);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      if (c.press == QMessageBox::NoButton) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
      } else {
        box->button(c.press)->click();
      }
    });
    int answer = MessageBoxA(nullptr, "\x82\xB1\x82\xCC", "MessageBox", c.type);
    EXPECT_EQ(answer, c.answer);
    QStringList expected = c.buttons;
    expected.sort();
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(ok_default);
    EXPECT_EQ(title, QString("MessageBox"));
    EXPECT_EQ(text, QString::fromUtf8("この"));
    EXPECT_EQ(icon, (c.type & MB_ICONERROR) ? QMessageBox::Critical : QMessageBox::NoIcon);
  }
  vcl::DestroyApplication();
}

}  // namespace
}  // namespace apptest

namespace apptest {
namespace {

TEST_F(AppTest, ExceptionDuringThePreCountEndsStartUpBeforeTheWindowShows) {
  MountSystemAndFloppy();
  recorder.after = [](const std::string& line) {
    if (line == "status C:\\WINDOWS")
      throw EConvertError(AnsiString::FromUtf8("時刻に変換できない値が渡されました"));
  };
  Lines lines = Run([] { ADD_FAILURE() << "the message loop ran"; });
  std::string title = QCoreApplication::applicationName().toStdString();
  Lines expected = {
      "visible false",       "progress.position 0",
      "memo.clear",          "status C:\\My Documents",
      "progress.position 3", "memo.clear",
      "status C:\\WINDOWS",  "msgbox " + title + " | 時刻に変換できない値が渡されました. -> ok"};
  EXPECT_EQ(lines, expected);
  for (bool shown : recorder.shown) EXPECT_FALSE(shown);
  EXPECT_EQ(Form1, nullptr);
  EXPECT_EQ(GetScanWindow(), nullptr);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace apptest
