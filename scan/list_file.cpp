#include "scan/scan_state.h"

void WriteListFile() {
  const AnsiString name = State->TargetDrive + "korvel.txt";
  State->ListFileComplete = false;
  State->OutFile = rtl::fopen(name, "wt");
  if (!State->OutFile) return;
  // A count beyond the lines held (only a caller can set one) writes what is held and is
  // reported incomplete; the list is never read past its end.
  const auto held = static_cast<int>(State->EntryList.size()) - 1;
  bool written = State->EntryTotal <= held;
  for (int k = 1; k <= State->EntryTotal && k <= held; ++k) {
    // The line is an argument, never the format: a "%" in a name is written as it stands.
    if (rtl::fprintf(State->OutFile, "%s\n",
                     State->EntryList[static_cast<std::size_t>(k)].c_str()) < 0) {
      written = false;
    }
  }
  const bool closed = rtl::fclose(State->OutFile) == 0;
  State->OutFile = nullptr;
  State->ListFileComplete = written && closed;
}
