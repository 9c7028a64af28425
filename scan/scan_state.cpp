#include "scan/scan_state.h"

#include <algorithm>
#include <utility>

#include "scan/scan_internal.h"

ScanState* State = nullptr;

void CreateScanState() {
  if (State) return;
  State = new ScanState;
  // Every table is allocated up front, so an ordinary walk allocates nothing but its strings.
  State->FolderRows.resize(kFolderRowCount);
  for (auto& row : State->FolderRows) row.resize(kFolderRowCapacity);
  State->EntryList.resize(kEntryListCapacity);
}

namespace {
// Releases a table from its last entry to its first.
template <typename T>
void ReleaseBackwards(std::vector<T>& table) {
  while (!table.empty()) table.pop_back();
}
}  // namespace

void DestroyScanState() {
  if (!State) return;
  // Tables go last entry first; the members themselves go in reverse declaration order.
  ReleaseBackwards(State->EntryList);
  for (auto row = State->FolderRows.rbegin(); row != State->FolderRows.rend(); ++row) {
    ReleaseBackwards(*row);
  }
  ReleaseBackwards(State->FolderRows);
  FindClose(State->SearchRec);
  delete State;
  State = nullptr;
}

namespace scan_internal {

void StoreFolderName(const AnsiString& name) {
  auto& row = State->FolderRows[static_cast<std::size_t>(State->Level)];
  const auto at = static_cast<std::size_t>(State->RowFill);
  if (at < row.size()) {
    row[at] = name;
  } else {
    row.push_back(name);
  }
  ++State->RowFill;
}

void RecordEntry(AnsiString line) {
  auto& list = State->EntryList;
  const auto at = static_cast<std::size_t>(State->EntryTotal);
  if (at >= list.size()) {
    // Grow by half again rather than doubling: the list is the walk's largest table.
    if (at >= list.capacity())
      list.reserve(std::max(at + 1, list.capacity() + list.capacity() / 2));
    list.resize(at + 1);
  }
  list[at] = std::move(line);
}

}  // namespace scan_internal
