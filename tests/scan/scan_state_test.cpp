// The one scan record: its tables are allocated whole at start and released at the end.
#include <gtest/gtest.h>

#include "scan/scan_state.h"

namespace {

TEST(ScanStateTest, StartsEmptyWithItsInitialCapacities) {
  ASSERT_EQ(State, nullptr);
  CreateScanState();
  ASSERT_NE(State, nullptr);
  ASSERT_EQ(State->FolderRows.size(), 10u);
  for (const auto& row : State->FolderRows) {
    ASSERT_EQ(row.size(), 50u);
    for (const auto& name : row) EXPECT_TRUE(name.IsEmpty());
  }
  ASSERT_EQ(State->EntryList.size(), 20000u);
  for (const auto& line : State->EntryList) ASSERT_TRUE(line.IsEmpty());
  EXPECT_EQ(State->OutFile, nullptr);
  EXPECT_EQ(State->EntryTotal, 0);
  EXPECT_EQ(State->Mode, 0);
  EXPECT_EQ(State->TopIndex, 0);
  EXPECT_TRUE(State->SystemDrive.IsEmpty());
  EXPECT_TRUE(State->TargetRoot.IsEmpty());
  EXPECT_FALSE(State->ListFileComplete);
  DestroyScanState();
  EXPECT_EQ(State, nullptr);
}

}  // namespace
