#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/sysutils.h"
#include "scan/scan_internal.h"
#include "scan/scan_state.h"

namespace {

// The size in whole kilobytes, at least 1, right-aligned in four characters (wider figures
// are kept whole). The full 64-bit size is used, so files of 2 GiB and more get their figure.
AnsiString SizeText(std::int64_t size) {
  std::string figure = std::to_string(size / 1024 + 1);
  if (figure.size() < 4) figure.insert(0, 4 - figure.size(), ' ');
  return AnsiString(std::move(figure));
}

// Fields of a packed DOS date and time.
struct DosStamp {
  int year, month, day;
  explicit DosStamp(int packed) {
    const auto bits = static_cast<std::uint32_t>(packed);
    year = static_cast<int>((bits >> 25) & 0x7F) + 1980;
    month = static_cast<int>((bits >> 21) & 0x0F);
    day = static_cast<int>((bits >> 16) & 0x1F);
  }
};

// The date part: bytes 1-2, 4-5 and 7-8 of the date text, whatever its pattern. A stamp that
// forms no date shows its raw fields as yy_mm_dd instead of ending the walk; a stamp whose time
// alone is out of range is labelled from its date, since the time never reaches those bytes.
AnsiString DatePart(int packed) {
  AnsiString text;
  try {
    text = DateTimeToStr(FileDateToDateTime(packed));
  } catch (const EConvertError&) {
    const DosStamp stamp(packed);
    try {
      text = DateTimeToStr(EncodeDate(stamp.year, stamp.month, stamp.day));
    } catch (const EConvertError&) {
      char raw[16];
      std::snprintf(raw, sizeof raw, "%02d_%02d_%02d", stamp.year % 100, stamp.month, stamp.day);
      return AnsiString(raw);
    }
  }
  return text.SubString(1, 2) + "_" + text.SubString(4, 2) + "_" + text.SubString(7, 2);
}

}  // namespace

void MakeEntryLabel() {
  State->EntryLabel = SizeText(State->SearchRec.FullSize);
  State->EntryLabel = State->EntryLabel + "KB " + DatePart(State->SearchRec.Time) + " ";
  if (State->Mode > ModeFoldersOnly) {
    scan_internal::AddMemoLine(State->EntryLabel + State->EntryName);
  }
}
