#include <cstring>

#include "scan/scan_internal.h"
#include "scan/scan_state.h"

namespace {

constexpr int kFolderAttr = faDirectory;  // a folder is exactly this, no further bit
constexpr int kSearchMask = faAnyFile;

bool IsDotEntry(const AnsiString& name) { return name == "." || name == ".."; }

// Files found below these top-level folders get no placeholder in ModeSomeFiles. Compared
// byte for byte: a top-level "Windows" is not excluded.
bool InSystemFolder() {
  if (State->Level == 0) return false;  // the root listing is under no top-level folder
  const auto& row0 = State->FolderRows[0];
  const auto top = static_cast<std::size_t>(State->TopIndex);
  if (State->TopIndex < 0 || top >= row0.size()) return false;
  const AnsiString& name = row0[top];
  return name == "DOS" || name == "WINDOWS" || name == "Program Files";
}

// The run's own mirror folder, met while walking a drive that holds it.
bool IsOwnMirror(const TSearchRec& rec) {
  if (!State->MirrorIdentity || IsDotEntry(rec.Name)) return false;
  return State->MirrorIdentity->device == rec.HostDevice &&
         State->MirrorIdentity->inode == rec.HostInode;
}

// A label with a separator in it (possible with unusual short date patterns) would make the
// placeholder's name a path through folders that do not exist.
bool NamesAPath(const AnsiString& label) { return std::strpbrk(label.c_str(), "/\\") != nullptr; }

void HandleFolder() {
  ++State->EntryTotal;
  const bool ownMirror = IsOwnMirror(State->SearchRec);
  if (!ownMirror) scan_internal::StoreFolderName(State->EntryName);
  if (State->Mode > ModeQuick) {
    if (State->MirrorEntered && !ownMirror) rtl::mkdir(State->EntryName);
    scan_internal::AddMemoLine(State->EntryName);
  }
}

void HandleFile() {
  MakeEntryLabel();
  State->EntryName = State->EntryLabel + State->EntryName;
  ++State->EntryTotal;
  if (State->Mode < ModeSomeFiles) return;
  if (State->Mode == ModeSomeFiles && InSystemFolder()) return;
  if (!State->MirrorEntered || NamesAPath(State->EntryLabel)) return;
  State->OutFile = rtl::fopen(State->EntryName, "wt");
  rtl::fclose(State->OutFile);
  State->OutFile = nullptr;
}

}  // namespace

void ListFolder() {
  scan_internal::SetProgress(State->EntryTotal);

  State->MirrorEntered = false;
  if (State->Mode > ModeQuick) {
    const AnsiString target = State->TargetRoot + "\\" + State->MirrorFolderName + State->RelPath;
    State->MirrorEntered = rtl::chdir(target) == 0;
  }

  scan_internal::ClearMemo();
  State->RowFill = 0;

  TSearchRec& rec = State->SearchRec;
  if (FindFirst(State->SourceRoot + State->RelPath + "\\*.*", kSearchMask, rec) != 0) {
    FindClose(rec);
    return;
  }
  do {
    State->EntryName = rec.Name;
    if (rec.Attr == kFolderAttr) {
      HandleFolder();
    } else {
      HandleFile();
    }
    scan_internal::RecordEntry(State->RelPath + "\\" + State->EntryName);
  } while (FindNext(rec) == 0);
  FindClose(rec);
}
