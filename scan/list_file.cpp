#include "scan/scan_state.h"

void WriteListFile() {
  const AnsiString name = State->TargetDrive + "korvel.txt";
  State->ListFileComplete = false;
  State->OutFile = rtl::fopen(name, "wt");
  if (!State->OutFile) return;
  bool written = true;
  for (int k = 1; k <= State->EntryTotal; ++k) {
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
