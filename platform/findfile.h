// Directory search over drives: FindFirst, FindNext, FindClose.
#pragma once

#include <cstdint>

#include "platform/ansi_string.h"

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faReparsePoint = 0x400;
constexpr int faAnyFile = 0x3F;

struct SearchHandle;  // an open listing; owned by the record between FindFirst and FindClose

struct TSearchRec {
  int Time = 0;  // packed DOS date and time, local time
  int Size = 0;  // low 32 bits of the size, as a signed value
  int Attr = 0;
  AnsiString Name;  // long name in CP932 (or its ASCII alias)
  int ExcludeAttr = 0;
  std::int64_t FullSize = 0;     // the whole size; 0 for folders and links
  std::uint64_t HostDevice = 0;  // identity of the host entry (st_dev, st_ino), not followed
  std::uint64_t HostInode = 0;
  SearchHandle* FindHandle = nullptr;
};

// 0 and rec filled when an entry matches pattern and mask; nonzero otherwise, with nothing
// left open. The last name of pattern may hold the wildcards * and ?.
int FindFirst(const AnsiString& pattern, int attr, TSearchRec& rec);
// 0 and the next entry, nonzero when there is none.
int FindNext(TSearchRec& rec);
// Releases the listing; harmless when nothing is open.
void FindClose(TSearchRec& rec);
