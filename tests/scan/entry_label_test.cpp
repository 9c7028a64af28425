// The size and date label of file entries, straight on the record the search fills.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/sysutils.h"
#include "scan/scan_state.h"
#include "tests/scan/scan_fixture.h"

namespace {

using scantest::DosStamp;

class EntryLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ShortDateFormat;
    ShortDateFormat = "yy/mm/dd";
    CreateScanState();
    SetScanWindow(&window_);
  }
  void TearDown() override {
    SetScanWindow(nullptr);
    DestroyScanState();
    ShortDateFormat = saved_;
  }
  // What the search would deliver for a file of that size and stamp.
  void Entry(std::int64_t size, int stamp, const char* name = "README.TXT") {
    State->SearchRec.FullSize = size;
    State->SearchRec.Size = static_cast<int>(static_cast<std::uint32_t>(size & 0xFFFFFFFF));
    State->SearchRec.Time = stamp;
    State->SearchRec.Attr = 32;
    State->EntryName = name;
  }

  AnsiString saved_;
  scantest::RecordingWindow window_;
};

struct LabelCase {
  const char* what;
  std::int64_t size;
  int stamp;
  const char* pattern;
  const char* label;
};

const int k970315 = DosStamp(1997, 3, 15, 12, 34, 56);

const LabelCase kLabelCases[] = {
    {"0 bytes count 1 KB", 0, k970315, "yy/mm/dd", "   1KB 97_03_15 "},
    {"1023 bytes", 1023, k970315, "yy/mm/dd", "   1KB 97_03_15 "},
    {"1024 bytes", 1024, k970315, "yy/mm/dd", "   2KB 97_03_15 "},
    {"1500 bytes", 1500, k970315, "yy/mm/dd", "   2KB 97_03_15 "},
    {"2047 bytes", 2047, k970315, "yy/mm/dd", "   2KB 97_03_15 "},
    {"2048 bytes", 2048, k970315, "yy/mm/dd", "   3KB 97_03_15 "},
    {"three digits", 1021952, k970315, "yy/mm/dd", " 999KB 97_03_15 "},
    {"four digits", 1022976, k970315, "yy/mm/dd", "1000KB 97_03_15 "},
    {"five digits", 10238976, k970315, "yy/mm/dd", "10000KB 97_03_15 "},
    {"2 GiB by its whole size", 2147483648LL, k970315, "yy/mm/dd", "2097153KB 97_03_15 "},
    {"5 GiB by its whole size", 5368709120LL, k970315, "yy/mm/dd", "5242881KB 97_03_15 "},
    {"midnight labels alike", 1500, DosStamp(1997, 3, 15), "yy/mm/dd", "   2KB 97_03_15 "},
    {"year 2000", 1500, DosStamp(2000, 1, 2, 3, 4, 6), "yy/mm/dd", "   2KB 00_01_02 "},
    {"last DOS second", 1, DosStamp(2107, 12, 31, 23, 59, 58), "yy/mm/dd", "   1KB 07_12_31 "},
    {"four-digit year keeps the positions", 1500, DosStamp(1997, 3, 15), "yyyy/mm/dd",
     "   2KB 19_7/_3/ "},
    {"m/d/yy at midnight", 1500, DosStamp(1997, 3, 15), "m/d/yy", "   2KB 3/_5/_7 "},
    {"m/d/yy with a time", 1500, k970315, "m/d/yy", "   2KB 3/_5/_7  "},
    {"no pattern means m/d/yy", 1500, DosStamp(1997, 3, 15), "", "   2KB 3/_5/_7 "},
    // Stamps that form no date show their raw fields instead of ending the walk.
    {"all zero bits", 1500, 0, "yy/mm/dd", "   2KB 80_00_00 "},
    {"month 13", 1500, DosStamp(1997, 13, 1), "yy/mm/dd", "   2KB 97_13_01 "},
    {"30 February", 1500, DosStamp(1997, 2, 30, 10, 0, 0), "yy/mm/dd", "   2KB 97_02_30 "},
    {"day 0 in 2005", 1500, DosStamp(2005, 6, 0), "yyyy/mm/dd", "   2KB 05_06_00 "},
    // A time out of range never reaches the date part: the date labels normally.
    {"hour 24", 1500, DosStamp(1997, 3, 15, 24, 0, 0), "yy/mm/dd", "   2KB 97_03_15 "},
    {"minute 60", 1500, DosStamp(1997, 3, 15, 1, 60, 0), "yy/mm/dd", "   2KB 97_03_15 "},
    {"seconds field 30", 1500, DosStamp(1997, 3, 15, 1, 2, 60), "yy/mm/dd", "   2KB 97_03_15 "},
    {"bad time, four-digit year", 1500, DosStamp(1997, 3, 15, 31, 0, 0), "yyyy/mm/dd",
     "   2KB 19_7/_3/ "},
};

TEST_F(EntryLabelTest, LabelsBySizeAndDate) {
  for (const auto& c : kLabelCases) {
    SCOPED_TRACE(c.what);
    ShortDateFormat = c.pattern;
    Entry(c.size, c.stamp);
    ASSERT_NO_THROW(MakeEntryLabel());
    EXPECT_EQ(State->EntryLabel.Bytes(), c.label);
    EXPECT_EQ(State->EntryName.Bytes(), "README.TXT") << "the bare name stays for the listing";
  }
}

TEST_F(EntryLabelTest, LogsTheLabelledNameOnlyInFileModes) {
  const struct {
    int mode;
    bool logged;
  } cases[] = {
      {ModeQuick, false}, {ModeFoldersOnly, false}, {ModeSomeFiles, true}, {ModeAllFiles, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    window_.calls.clear();
    State->Mode = c.mode;
    // 日本語.TXT
    Entry(0, 0, "\x93\xfa\x96\x7b\x8c\xea.TXT");
    MakeEntryLabel();
    EXPECT_EQ(State->EntryLabel.Bytes(), "   1KB 80_00_00 ");
    if (c.logged) {
      EXPECT_EQ(window_.calls,
                std::vector<std::string>{"memo    1KB 80_00_00 \x93\xfa\x96\x7b\x8c\xea.TXT"});
    } else {
      EXPECT_TRUE(window_.calls.empty());
    }
  }
}

}  // namespace
