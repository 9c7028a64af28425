#include <array>
#include <cctype>

#include "scan/scan_internal.h"
#include "scan/scan_state.h"

namespace {

constexpr int kDeepestListing = 6;  // folders of depth 6 are listed; their subfolders are not
const AnsiString kProgramFiles = "Program Files";

bool IsDotEntry(const AnsiString& name) { return name == "." || name == ".."; }

// Letter case aside, the name is "Program Files" (the layer finds it either way, so a second
// visit would list the same folder again).
bool IsProgramFiles(const AnsiString& name) {
  const std::string& a = name.Bytes();
  const std::string& b = kProgramFiles.Bytes();
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    // b is plain ASCII, so folding ASCII letters only cannot match inside a double-byte name.
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Names of the folder in progress at each depth; names[0] is the top-level folder.
using PathNames = std::array<const AnsiString*, kDeepestListing>;

AnsiString JoinRelPath(const PathNames& names, int count) {
  AnsiString path;
  for (int k = 0; k < count; ++k) path += "\\" + *names[static_cast<std::size_t>(k)];
  return path;
}

// Lists the folder named at the current position of row depth - 1, then, above the deepest
// listing, each folder of the row that listing filled. The bound of a row is captured once,
// right after its listing: deeper listings only refill deeper rows.
void Descend(int depth, PathNames& names) {
  State->Level = depth;
  const AnsiString& name = *names[static_cast<std::size_t>(depth - 1)];
  if (IsDotEntry(name)) return;
  State->RelPath = JoinRelPath(names, depth);
  ListFolder();
  if (depth == kDeepestListing) return;
  const int bound = State->RowFill;
  const auto& row = State->FolderRows[static_cast<std::size_t>(depth)];
  for (int position = 0; position < bound; ++position) {
    names[static_cast<std::size_t>(depth)] = &row[static_cast<std::size_t>(position)];
    Descend(depth + 1, names);
  }
}

void PaintStatusLine(const AnsiString& topName) {
  if (auto* window = GetScanWindow()) {
    const TRect statusRect{24, 152, 200, 170};
    window->PaintStatusLine(statusRect, 24, 152, State->SystemDrive + "\\" + topName);
  }
}

}  // namespace

void WalkTree() {
  State->MirrorIdentity.reset();
  if (!State->TargetRoot.IsEmpty() && !State->MirrorFolderName.IsEmpty()) {
    State->MirrorIdentity = drives::IdentityOf(State->TargetRoot + "\\" + State->MirrorFolderName);
  }

  State->Level = 0;
  State->RelPath = "";
  ListFolder();

  if (State->Mode > ModeQuick && State->MirrorEntered) rtl::mkdir(kProgramFiles);

  // "Program Files" is always visited, but only once: not when the root listing stored it.
  auto& row0 = State->FolderRows[0];
  bool listed = false;
  for (int k = 0; k < State->RowFill && !listed; ++k) {
    listed = IsProgramFiles(row0[static_cast<std::size_t>(k)]);
  }
  if (!listed) {
    State->Level = 0;
    scan_internal::StoreFolderName(kProgramFiles);
  }

  const int bound = State->RowFill;
  PathNames names{};
  for (State->TopIndex = 0; State->TopIndex < bound; ++State->TopIndex) {
    names[0] = &row0[static_cast<std::size_t>(State->TopIndex)];
    State->Level = 1;
    if (IsDotEntry(*names[0])) continue;
    State->RelPath = "\\" + *names[0];
    PaintStatusLine(*names[0]);
    ListFolder();
    const int bound1 = State->RowFill;
    const auto& row1 = State->FolderRows[1];
    for (int position = 0; position < bound1; ++position) {
      names[1] = &row1[static_cast<std::size_t>(position)];
      Descend(2, names);
    }
  }
}
