// Helpers shared by the scan operations; not for the program.
#pragma once

#include <cstdint>

#include "platform/ansi_string.h"
#include "scan/scan_window.h"

namespace scan_internal {

// FolderRows[Level][RowFill] := name, growing the row when it is full; RowFill += 1.
void StoreFolderName(const AnsiString& name);
// EntryList[EntryTotal] := line, growing the list when it is full.
void RecordEntry(AnsiString line);

// The window operations; each does nothing while no window is set.
inline void SetProgress(int entryTotal) {
  if (auto* w = GetScanWindow())
    w->SetProgressPosition(static_cast<std::uint16_t>(entryTotal & 0xFFFF));
}
inline void ClearMemo() {
  if (auto* w = GetScanWindow()) w->ClearMemo();
}
inline void AddMemoLine(const AnsiString& line) {
  if (auto* w = GetScanWindow()) w->AddMemoLine(line);
}

}  // namespace scan_internal
