// One folder listing: what is a folder, what is labelled, what goes to the row and the mirror.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/crt.h"
#include "platform/drives.h"
#include "scan/scan_state.h"
#include "tests/scan/scan_fixture.h"

namespace {

using fixture::LocalTime;
using Paths = std::vector<std::string>;

class ListFolderTest : public scantest::ScanTest {
 protected:
  // c:\TOP holding a plain folder, folders with further attribute bits and two big files.
  void MakeMixedFolder() {
    const std::time_t when = LocalTime(1997, 3, 15, 8, 0, 0);
    MakeFolder("TOP/SUB");
    const struct {
      const char* name;
      const char* attrib;
    } marked[] = {{"RO", "0x01"}, {"HID", "0x02"}, {"SYS", "0x04"}, {"ARC", "0x20"}};
    for (const auto& m : marked) {
      MakeFolder(std::string("TOP/") + m.name);
      fixture::SetDosAttrib(Src(std::string("TOP/") + m.name), m.attrib);
      fixture::SetMtime(Src(std::string("TOP/") + m.name), when);
    }
    MakeFile("TOP/BIG", 2147483648LL, when);   // 2 GiB, sparse
    MakeFile("TOP/HUGE", 5368709120LL, when);  // 5 GiB, sparse
  }
  void ListTop(int mode) {
    PrepareStart(mode);
    rtl::mkdir("a:\\Korvel\\TOP");
    State->Level = 1;
    State->RelPath = "\\TOP";
    State->FolderRows[0][0] = "TOP";
    State->TopIndex = 0;
    ListFolder();
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (int k = 1; k <= State->EntryTotal; ++k)
      lines.push_back(State->EntryList[static_cast<std::size_t>(k)].Bytes());
    return lines;
  }
};

const std::vector<std::string> kMixedLines = {
    "\\TOP\\.",
    "\\TOP\\..",
    "\\TOP\\   1KB 97_03_15 ARC",
    "\\TOP\\2097153KB 97_03_15 BIG",
    "\\TOP\\   1KB 97_03_15 HID",
    "\\TOP\\5242881KB 97_03_15 HUGE",
    "\\TOP\\   1KB 97_03_15 RO",
    "\\TOP\\SUB",
    "\\TOP\\   1KB 97_03_15 SYS",
};

TEST_F(ListFolderTest, OnlyAttributesOfExactly16MakeAFolder) {
  MakeMixedFolder();
  const struct {
    int mode;
    std::vector<std::string> calls;
    Paths mirror;
  } cases[] = {
      {ModeQuick, {"progress 0", "clear"}, {}},
      {ModeFoldersOnly, {"progress 0", "clear", "memo .", "memo ..", "memo SUB"}, {"SUB/"}},
      {ModeAllFiles,
       {"progress 0", "clear", "memo .", "memo ..", "memo    1KB 97_03_15 ARC",
        "memo 2097153KB 97_03_15 BIG", "memo    1KB 97_03_15 HID", "memo 5242881KB 97_03_15 HUGE",
        "memo    1KB 97_03_15 RO", "memo SUB", "memo    1KB 97_03_15 SYS"},
       {"   1KB 97_03_15 ARC", "   1KB 97_03_15 HID", "   1KB 97_03_15 RO", "   1KB 97_03_15 SYS",
        "2097153KB 97_03_15 BIG", "5242881KB 97_03_15 HUGE", "SUB/"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    std::filesystem::remove_all(Tgt("Korvel"));
    window_.calls.clear();
    // Leftovers of a longer, earlier listing at this depth stay beyond the count.
    State->FolderRows[1][3] = "OLD";
    ListTop(c.mode);
    EXPECT_EQ(window_.calls, c.calls);
    EXPECT_EQ(Lines(), kMixedLines);
    EXPECT_EQ(State->RowFill, 3);
    EXPECT_EQ(State->FolderRows[1][0].Bytes(), ".");
    EXPECT_EQ(State->FolderRows[1][1].Bytes(), "..");
    EXPECT_EQ(State->FolderRows[1][2].Bytes(), "SUB");
    EXPECT_EQ(State->FolderRows[1][3].Bytes(), "OLD");
    EXPECT_EQ(scantest::TreeOf(Tgt("Korvel/TOP")), c.mirror);
    EXPECT_EQ(State->EntryName.Bytes(), "   1KB 97_03_15 SYS");
    EXPECT_EQ(State->OutFile, nullptr);
  }
}

TEST_F(ListFolderTest, MissingFolderRecordsNothing) {
  PrepareStart(ModeFoldersOnly);
  State->EntryTotal = 7;
  State->Level = 2;
  State->RelPath = "\\GONE\\AWAY";
  State->RowFill = 5;
  ListFolder();
  EXPECT_EQ(window_.calls, (std::vector<std::string>{"progress 7", "clear"}));
  EXPECT_EQ(State->RowFill, 0);
  EXPECT_EQ(State->EntryTotal, 7);
  EXPECT_FALSE(State->MirrorEntered);
}

TEST_F(ListFolderTest, RootListingUsesTheBareRelPath) {
  MakeFile("A.TXT", 0, LocalTime(1997, 3, 15));
  MakeFolder("B");
  PrepareStart(ModeAllFiles);
  ListFolder();
  EXPECT_EQ(Lines(), (std::vector<std::string>{"\\   1KB 97_03_15 A.TXT", "\\B"}));
  EXPECT_EQ(scantest::TreeOf(Tgt("Korvel")), (Paths{"   1KB 97_03_15 A.TXT", "B/"}));
  EXPECT_EQ(drives::GetCurrentDir().Bytes(), "A:\\Korvel");
}

}  // namespace
