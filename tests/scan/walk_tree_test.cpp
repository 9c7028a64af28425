// Whole walks over fixture drives: the list file, the mirror, the rows and the window calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/crt.h"
#include "platform/drives.h"
#include "platform/sysutils.h"
#include "scan/scan_state.h"
#include "tests/scan/scan_fixture.h"

namespace {

using fixture::LocalTime;
using Calls = std::vector<std::string>;
using Paths = std::vector<std::string>;

const std::string kStatusAt = "status 24,152,200,170 at 24,152 ";

class WalkTreeTest : public scantest::ScanTest {
 protected:
  // c:\A.TXT, c:\RO (a folder marked read-only), c:\WINDOWS\B.TXT
  void MakeSmallTree() {
    MakeFile("A.TXT", 1500, LocalTime(1997, 3, 15, 12, 34, 56));
    MakeFile("WINDOWS/B.TXT", 0, LocalTime(2000, 1, 2));
    MakeFolder("RO");
    fixture::SetDosAttrib(Src("RO"), "0x11");
    fixture::SetMtime(Src("RO"), LocalTime(1999, 12, 31, 23, 59, 58));
  }
  // Writes the list file at the target's root and returns its bytes.
  std::string ListFile(const std::string& targetHost = "") {
    rtl::chdir("a:\\");
    WriteListFile();
    EXPECT_TRUE(State->ListFileComplete);
    return fixture::ReadFile((targetHost.empty() ? Tgt() : targetHost) + "/korvel.txt");
  }
  std::vector<std::string> Row(int level) {
    std::vector<std::string> names;
    const auto& row = State->FolderRows[static_cast<std::size_t>(level)];
    for (int k = 0; k < State->RowFill; ++k)
      names.push_back(row[static_cast<std::size_t>(k)].Bytes());
    return names;
  }
  std::vector<std::string> Row0() {
    std::vector<std::string> names;
    for (int k = 0; k < State->TopIndex; ++k)
      names.push_back(State->FolderRows[0][static_cast<std::size_t>(k)].Bytes());
    return names;
  }
  int CountCalls(const std::string& call) {
    return static_cast<int>(std::count(window_.calls.begin(), window_.calls.end(), call));
  }
};

struct ModeCase {
  int mode;
  Calls calls;
  Paths mirror;  // below a:\Korvel
};

// Recording is the same in every mode; only the log and the mirror differ.
const char kSmallList[] =
    "\\   2KB 97_03_15 A.TXT\r\n"
    "\\   1KB 99_12_31 RO\r\n"
    "\\WINDOWS\r\n"
    "\\WINDOWS\\.\r\n"
    "\\WINDOWS\\..\r\n"
    "\\WINDOWS\\   1KB 00_01_02 B.TXT\r\n";

const ModeCase kModeCases[] = {
    {ModeQuick,
     {"progress 0", "clear", kStatusAt + "C:\\WINDOWS", "progress 3", "clear",
      kStatusAt + "C:\\Program Files", "progress 6", "clear"},
     {}},
    {ModeFoldersOnly,
     {"progress 0", "clear", "memo WINDOWS", kStatusAt + "C:\\WINDOWS", "progress 3", "clear",
      "memo .", "memo ..", kStatusAt + "C:\\Program Files", "progress 6", "clear"},
     {"Program Files/", "WINDOWS/"}},
    {ModeSomeFiles,
     {"progress 0", "clear", "memo    2KB 97_03_15 A.TXT", "memo    1KB 99_12_31 RO",
      "memo WINDOWS", kStatusAt + "C:\\WINDOWS", "progress 3", "clear", "memo .", "memo ..",
      "memo    1KB 00_01_02 B.TXT", kStatusAt + "C:\\Program Files", "progress 6", "clear"},
     {"   1KB 99_12_31 RO", "   2KB 97_03_15 A.TXT", "Program Files/", "WINDOWS/"}},
    {ModeAllFiles,
     {"progress 0", "clear", "memo    2KB 97_03_15 A.TXT", "memo    1KB 99_12_31 RO",
      "memo WINDOWS", kStatusAt + "C:\\WINDOWS", "progress 3", "clear", "memo .", "memo ..",
      "memo    1KB 00_01_02 B.TXT", kStatusAt + "C:\\Program Files", "progress 6", "clear"},
     {"   1KB 99_12_31 RO", "   2KB 97_03_15 A.TXT", "Program Files/", "WINDOWS/",
      "WINDOWS/   1KB 00_01_02 B.TXT"}},
};

TEST_F(WalkTreeTest, EachModeRecordsAllAndMirrorsItsShare) {
  MakeSmallTree();
  for (const auto& c : kModeCases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    std::filesystem::remove_all(Tgt("Korvel"));
    std::filesystem::remove(Tgt("korvel.txt"));
    window_.calls.clear();
    PrepareStart(c.mode);
    WalkTree();
    EXPECT_EQ(window_.calls, c.calls);
    EXPECT_EQ(State->EntryTotal, 6);
    EXPECT_EQ(Row0(), (std::vector<std::string>{"WINDOWS", "Program Files"}));
    EXPECT_EQ(State->TopIndex, 2);
    EXPECT_EQ(State->RelPath.Bytes(), "\\Program Files");
    EXPECT_EQ(scantest::TreeOf(Tgt("Korvel")), c.mirror);
    // A mirroring walk leaves the current directory in the last mirror folder it listed.
    EXPECT_EQ(drives::GetCurrentDir().Bytes(),
              c.mode == ModeQuick ? "A:\\" : "A:\\Korvel\\Program Files");
    EXPECT_EQ(ListFile(), kSmallList);
  }
}

// The start-up count (no target) and a later Start pass record the same lines in the same
// order, although the second walk starts from the rows and TopIndex the first one left.
TEST_F(WalkTreeTest, PreCountAndStartRecordTheSame) {
  MakeSmallTree();
  MakeFile("WINDOWS/SYSTEM/DEEP/K.DLL", 4096, LocalTime(1998, 6, 25));
  State->SystemDrive = "C:";
  State->SourceRoot = State->SystemDrive;
  State->Mode = ModeQuick;
  WalkTree();
  const std::vector<AnsiString> counted(State->EntryList.begin(),
                                        State->EntryList.begin() + State->EntryTotal + 1);
  const int precount = State->EntryTotal;
  EXPECT_EQ(precount, 13);
  PrepareStart(ModeSomeFiles);
  WalkTree();
  ASSERT_EQ(State->EntryTotal, precount);
  for (int k = 1; k <= precount; ++k) {
    EXPECT_EQ(State->EntryList[static_cast<std::size_t>(k)], counted[static_cast<std::size_t>(k)])
        << k;
  }
}

TEST_F(WalkTreeTest, SecondRunEmptiesPlaceholdersAndRecordsTheSame) {
  MakeSmallTree();
  PrepareStart(ModeAllFiles);
  WalkTree();
  fixture::WriteFile(Tgt("Korvel/   2KB 97_03_15 A.TXT"), 0, "left over");
  PrepareStart(ModeAllFiles);
  WalkTree();
  EXPECT_EQ(fixture::ReadFile(Tgt("Korvel/   2KB 97_03_15 A.TXT")), "");
  EXPECT_EQ(ListFile(), kSmallList);
}

TEST_F(WalkTreeTest, EntryCountCarriesOnAndProgressTakesItsLow16Bits) {
  MakeSmallTree();
  PrepareStart(ModeQuick);
  State->EntryTotal = 65534;  // as left by an earlier walk; WalkTree never resets it
  WalkTree();
  EXPECT_EQ(window_.calls[0], "progress 65534");
  EXPECT_EQ(window_.calls[3], "progress 1");  // 65537
  EXPECT_EQ(window_.calls[6], "progress 4");  // 65540
  EXPECT_EQ(State->EntryTotal, 65540);
  ASSERT_GT(State->EntryList.size(), 65540u);
  EXPECT_EQ(State->EntryList[65535].Bytes(), "\\   2KB 97_03_15 A.TXT");
  EXPECT_EQ(State->EntryList[65540].Bytes(), "\\WINDOWS\\   1KB 00_01_02 B.TXT");
}

// "Program Files" is visited once, whether the root has it or not.
TEST_F(WalkTreeTest, ProgramFilesIsWalkedExactlyOnce) {
  const struct {
    const char* what;
    const char* hostName;   // "" for none
    const char* dosAttrib;  // "" for none
    std::vector<std::string> row0;
    const char* status;
  } cases[] = {
      {"absent", "", "", {"WINDOWS", "Program Files"}, "C:\\Program Files"},
      {"a plain folder", "Program Files", "", {"Program Files", "WINDOWS"}, "C:\\Program Files"},
      {"other letter case", "PROGRAM FILES", "", {"PROGRAM FILES", "WINDOWS"}, "C:\\PROGRAM FILES"},
      {"read-only, so not a folder entry",
       "Program Files",
       "0x01",
       {"WINDOWS", "Program Files"},
       "C:\\Program Files"},
      {"hidden, so not a folder entry",
       "Program Files",
       "0x02",
       {"WINDOWS", "Program Files"},
       "C:\\Program Files"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scantest::ClearFolder(Src());
    std::filesystem::remove_all(Tgt("Korvel"));
    MakeFile("WINDOWS/W.TXT", 0, LocalTime(1997, 3, 15));
    if (*c.hostName) {
      MakeFile(std::string(c.hostName) + "/INSIDE.TXT", 0, LocalTime(1997, 3, 15));
      if (*c.dosAttrib) fixture::SetDosAttrib(Src(c.hostName), c.dosAttrib);
    }
    window_.calls.clear();
    PrepareStart(ModeFoldersOnly);
    WalkTree();
    EXPECT_EQ(Row0(), c.row0);
    EXPECT_EQ(CountCalls(kStatusAt + c.status), 1);
    const std::string list = ListFile();
    const bool hasInside = *c.hostName != '\0';
    EXPECT_EQ(list.find("INSIDE.TXT") != std::string::npos, hasInside);
    EXPECT_EQ(list.find("INSIDE.TXT"), list.rfind("INSIDE.TXT")) << "recorded once: " << list;
    EXPECT_TRUE(fixture::Exists(Tgt("Korvel/Program Files")) ||
                fixture::Exists(Tgt("Korvel/PROGRAM FILES")));
  }
}

// A chain of eight folders, a file in each: seven depths are listed, the eighth is unseen.
TEST_F(WalkTreeTest, ListsSevenDepthsAndRecordsTheSeventhFolderOnly) {
  std::string path;
  for (int d = 1; d <= 8; ++d) {
    path += (d > 1 ? "/" : "") + std::string("D") + std::to_string(d);
    MakeFile(path + "/F" + std::to_string(d) + ".TXT", 0, LocalTime(1997, 3, 15));
  }
  for (const int mode : {ModeQuick, ModeFoldersOnly, ModeAllFiles}) {
    SCOPED_TRACE(mode);
    std::filesystem::remove_all(Tgt("Korvel"));
    PrepareStart(mode);
    WalkTree();
    const std::string list = ListFile();
    std::string expected = "\\D1\r\n";
    std::string rel;
    for (int d = 1; d <= 6; ++d) {
      rel += "\\D" + std::to_string(d);
      expected += rel + "\\.\r\n" + rel + "\\..\r\n";
      expected += rel + "\\D" + std::to_string(d + 1) + "\r\n";
      expected += rel + "\\   1KB 97_03_15 F" + std::to_string(d) + ".TXT\r\n";
    }
    EXPECT_EQ(list, expected);
    if (mode == ModeQuick) {
      EXPECT_EQ(scantest::TreeOf(Tgt("Korvel")), Paths{});
    } else {
      EXPECT_TRUE(fixture::Exists(Tgt("Korvel/D1/D2/D3/D4/D5/D6/D7")));
      EXPECT_FALSE(fixture::Exists(Tgt("Korvel/D1/D2/D3/D4/D5/D6/D7/D8")));
      EXPECT_FALSE(fixture::Exists(Tgt("Korvel/D1/D2/D3/D4/D5/D6/D7/   1KB 97_03_15 F7.TXT")));
      EXPECT_EQ(mode == ModeAllFiles,
                fixture::Exists(Tgt("Korvel/D1/D2/D3/D4/D5/D6/   1KB 97_03_15 F6.TXT")));
    }
  }
}

// Under a top-level DOS, WINDOWS or "Program Files", ModeSomeFiles makes folders but no
// placeholders; the names compare byte for byte, and files in the root are never excluded.
TEST_F(WalkTreeTest, SomeFilesSkipsPlaceholdersUnderSystemFolders) {
  const struct {
    const char* top;
    int mode;
    bool placeholder;
  } cases[] = {
      {"DOS", ModeSomeFiles, false},
      {"WINDOWS", ModeSomeFiles, false},
      {"Program Files", ModeSomeFiles, false},
      {"Windows", ModeSomeFiles, true},
      {"dos", ModeSomeFiles, true},
      {"Programs", ModeSomeFiles, true},
      {"WINDOWS", ModeAllFiles, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.top) + ", mode " + std::to_string(c.mode));
    scantest::ClearFolder(Src());
    scantest::ClearFolder(Tgt());
    window_.calls.clear();
    const std::string top(c.top);
    MakeFile(top + "/SUB/X.TXT", 0, LocalTime(1997, 3, 15));
    MakeFile("ROOT.TXT", 0, LocalTime(1997, 3, 15));
    PrepareStart(c.mode);
    // What an earlier walk may leave: row 0 position TopIndex naming a system folder.
    State->FolderRows[0][0] = "WINDOWS";
    State->TopIndex = 0;
    WalkTree();
    EXPECT_TRUE(fixture::Exists(Tgt("Korvel/   1KB 97_03_15 ROOT.TXT")));
    EXPECT_TRUE(fixture::Exists(Tgt("Korvel/" + top + "/SUB/")));
    EXPECT_EQ(fixture::Exists(Tgt("Korvel/" + top + "/SUB/   1KB 97_03_15 X.TXT")), c.placeholder);
    EXPECT_EQ(CountCalls("memo    1KB 97_03_15 X.TXT"), 1) << "logged all the same";
  }
}

// Japanese and half-width katakana names, a name whose second byte is "\" (表), and a "%".
TEST_F(WalkTreeTest, KeepsCp932NamesByteForByte) {
  MakeFile("\xe8\xa1\xa8/100%.txt", 2048, LocalTime(1998, 7, 1));  // 表
  MakeFile("\xef\xbd\xb6\xef\xbe\x80\xef\xbd\xb6\xef\xbe\x85/\xe6\x97\xa5\xe6\x9c\xac.TXT", 0,
           LocalTime(1998, 7, 1));  // ｶﾀｶﾅ/日本.TXT
  PrepareStart(ModeAllFiles);
  WalkTree();
  // 表 (U+8868) sorts before ｶ (U+FF76).
  EXPECT_EQ(ListFile(),
            "\\\x95\x5c\r\n"
            "\\\xb6\xc0\xb6\xc5\r\n"
            "\\\x95\x5c\\.\r\n"
            "\\\x95\x5c\\..\r\n"
            "\\\x95\x5c\\   3KB 98_07_01 100%.txt\r\n"
            "\\\xb6\xc0\xb6\xc5\\.\r\n"
            "\\\xb6\xc0\xb6\xc5\\..\r\n"
            "\\\xb6\xc0\xb6\xc5\\   1KB 98_07_01 \x93\xfa\x96\x7b.TXT\r\n");
  EXPECT_TRUE(fixture::Exists(Tgt("Korvel/\xe8\xa1\xa8/   3KB 98_07_01 100%.txt")));
  EXPECT_TRUE(
      fixture::Exists(Tgt("Korvel/\xef\xbd\xb6\xef\xbe\x80\xef\xbd\xb6\xef\xbe\x85/   1KB 98_07_01 "
                          "\xe6\x97\xa5\xe6\x9c\xac.TXT")));
  EXPECT_EQ(CountCalls(kStatusAt + "C:\\\x95\x5c"), 1);
}

// More than 50 subfolders in one listing: none is lost, every one is walked and mirrored.
TEST_F(WalkTreeTest, RowsGrowBeyondFiftyNames) {
  for (int k = 0; k < 60; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "S%02d", k);
    MakeFile(std::string("TOP/") + name + "/F.TXT", 0, LocalTime(1997, 3, 15));
    MakeFolder(std::string(name));
  }
  PrepareStart(ModeFoldersOnly);
  WalkTree();
  EXPECT_EQ(Row0().size(), 62u);  // S00..S59, TOP, "Program Files"
  EXPECT_EQ(CountCalls(kStatusAt + "C:\\S59"), 1);
  const std::string list = ListFile();
  for (int k = 0; k < 60; ++k) {
    char line[40];
    std::snprintf(line, sizeof line, "\\TOP\\S%02d\\   1KB 97_03_15 F.TXT\r\n", k);
    EXPECT_NE(list.find(line), std::string::npos) << line;
    std::snprintf(line, sizeof line, "Korvel/TOP/S%02d/", k);
    EXPECT_TRUE(fixture::Exists(Tgt(line))) << line;
  }
}

// More than 19999 entries: every one is held and written.
TEST_F(WalkTreeTest, EntryListGrowsBeyondItsFirstCapacity) {
  constexpr int kFiles = 20010;
  fixture::MakeDirs(Src("MANY"));
  for (int k = 0; k < kFiles; ++k) fixture::WriteFile(Src("MANY/" + std::to_string(k)));
  PrepareStart(ModeQuick);
  WalkTree();
  EXPECT_EQ(State->EntryTotal, kFiles + 3);  // MANY, ".", ".."
  const std::string list = ListFile();
  EXPECT_EQ(scantest::CountLines(list), kFiles + 3);
  EXPECT_EQ(list.substr(0, 7), "\\MANY\r\n");
}

// The run's own mirror folder, met on the drive being walked, is recorded and logged like any
// folder but never entered, stored in a row or mirrored into itself.
TEST_F(WalkTreeTest, NeverWalksItsOwnMirror) {
  const struct {
    const char* what;
    const char* targetHost;  // below the source folder; "" for the source folder itself
    const char* korvelLine;
  } cases[] = {
      {"target is the source drive", "", "\\Korvel"},
      {"target folder inside the source", "FLOPPY", "\\FLOPPY\\Korvel"},
  };
  for (const auto& c : cases) {
    for (const int mode : {ModeQuick, ModeFoldersOnly, ModeAllFiles}) {
      SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(mode));
      drives::UnmountAll();
      scantest::ClearFolder(Src());
      MakeFile("WINDOWS/W.TXT", 0, LocalTime(1997, 3, 15));
      const std::string targetHost = *c.targetHost ? Src(c.targetHost) : Src();
      fixture::MakeDirs(targetHost);
      MountDrive('c', Src());
      MountDrive('a', targetHost);
      window_.calls.clear();
      PrepareStart(mode);
      WalkTree();
      const std::string list = ListFile(targetHost);
      EXPECT_NE(list.find(std::string(c.korvelLine) + "\r\n"), std::string::npos) << list;
      EXPECT_EQ(list.find(std::string(c.korvelLine) + "\\"), std::string::npos) << list;
      EXPECT_EQ(CountCalls(kStatusAt + "C:\\Korvel"), 0);
      EXPECT_EQ(CountCalls("memo Korvel"), mode == ModeQuick ? 0 : 1);
      EXPECT_FALSE(fixture::Exists(targetHost + "/Korvel/Korvel"));
      if (*c.targetHost) {
        EXPECT_FALSE(fixture::Exists(targetHost + "/Korvel/FLOPPY/Korvel"));
      }
      if (mode == ModeAllFiles) {
        EXPECT_TRUE(fixture::Exists(targetHost + "/Korvel/WINDOWS/   1KB 97_03_15 W.TXT"));
      }
    }
  }
}

// When the change into a mirror folder fails, that listing makes nothing anywhere, yet
// records and logs every entry.
TEST_F(WalkTreeTest, MakesNothingWhereItCouldNotEnterTheMirror) {
  MakeFile("SUB/X.TXT", 0, LocalTime(1997, 3, 15));
  MakeFile("SUB/INNER/Y.TXT", 0, LocalTime(1997, 3, 15));
  MakeFile("R.TXT", 0, LocalTime(1997, 3, 15));
  {
    SCOPED_TRACE("a file stands where the mirror of SUB belongs");
    PrepareStart(ModeAllFiles);
    fixture::WriteFile(Tgt("Korvel/SUB"));
    WalkTree();
    EXPECT_EQ(scantest::TreeOf(Tgt("Korvel")),
              (Paths{"   1KB 97_03_15 R.TXT", "Program Files/", "SUB"}));
    EXPECT_EQ(CountCalls("memo    1KB 97_03_15 X.TXT"), 1);
    EXPECT_EQ(CountCalls("memo INNER"), 1);
    EXPECT_NE(ListFile().find("\\SUB\\INNER\\   1KB 97_03_15 Y.TXT\r\n"), std::string::npos);
  }
  {
    SCOPED_TRACE("a file stands where the mirror folder belongs");
    scantest::ClearFolder(Tgt());
    fixture::WriteFile(Tgt("Korvel"));
    window_.calls.clear();
    PrepareStart(ModeAllFiles);
    WalkTree();
    EXPECT_EQ(scantest::TreeOf(Tgt()), (Paths{"Korvel"}));
    EXPECT_EQ(CountCalls("memo    1KB 97_03_15 R.TXT"), 1);
    EXPECT_EQ(State->EntryTotal, 9);
  }
}

// A target that refuses every write: the walk records everything and makes nothing.
TEST_F(WalkTreeTest, ReadOnlyTargetGetsNothing) {
  MakeSmallTree();
  fixture::MakeDirs(Tgt("Korvel"));
  drives::UnmountAll();
  MountDrive('c', Src());
  MountDrive('a', Tgt(), /*readOnly=*/true);
  PrepareStart(ModeAllFiles);
  WalkTree();
  EXPECT_EQ(State->EntryTotal, 6);
  EXPECT_EQ(scantest::TreeOf(Tgt()), (Paths{"Korvel/"}));
  rtl::chdir("a:\\");
  WriteListFile();
  EXPECT_FALSE(State->ListFileComplete);
  EXPECT_FALSE(fixture::Exists(Tgt("korvel.txt")));
}

// A short date pattern that puts "/" into the label: recorded and logged, no placeholder.
TEST_F(WalkTreeTest, LabelWithASeparatorMakesNoPlaceholder) {
  MakeFile("A.TXT", 1500, LocalTime(1997, 3, 15));
  ShortDateFormat = "yyyy/mm/dd";
  PrepareStart(ModeAllFiles);
  WalkTree();
  EXPECT_EQ(CountCalls("memo    2KB 19_7/_3/ A.TXT"), 1);
  EXPECT_EQ(scantest::TreeOf(Tgt("Korvel")), (Paths{"Program Files/"}));
  EXPECT_EQ(ListFile(), "\\   2KB 19_7/_3/ A.TXT\r\n");
}

}  // namespace
