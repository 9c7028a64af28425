// Date and time services: day counts since 1899-12-30 and their rendering as text.
#include "platform/sysutils.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

AnsiString ShortDateFormat = "yy/mm/dd";
char DateSeparator = '/';
AnsiString LongTimeFormat = "h:nn:ss";

namespace {

const AnsiString& DateMessage() {
  static const AnsiString text = AnsiString::FromUtf8("日付に変換できない値が渡されました");
  return text;
}

const AnsiString& TimeMessage() {
  static const AnsiString text = AnsiString::FromUtf8("時刻に変換できない値が渡されました");
  return text;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr std::int64_t kEpochOffset = -25569;

// Splits a value into whole days and milliseconds of the day; the fraction's sign is ignored
// for days before the epoch, as the day count and the time of day are separate.
void Split(TDateTime value, std::int64_t& days, int& msOfDay) {
  double whole = std::trunc(value.Val);
  double frac = std::fabs(value.Val - whole);
  auto ms = static_cast<std::int64_t>(std::llround(frac * 86400000.0));
  days = static_cast<std::int64_t>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    days += value.Val < 0 ? -1 : 1;
  }
  msOfDay = static_cast<int>(ms);
}

void AppendNumber(std::string& out, int value, int width) {
  if (value < 0 || width > 10) {  // not met by dates; printf's rules then
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out += buf;
    return;
  }
  // By hand: a list line formats a date for every file, and snprintf showed in the profile.
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  if (n < width) out.append(static_cast<std::size_t>(width - n), '0');
  while (n > 0) out += digits[--n];
}

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

}  // namespace

TDateTime EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    throw EConvertError(DateMessage());
  return TDateTime{static_cast<double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      kEpochOffset)};
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
    throw EConvertError(TimeMessage());
  return TDateTime{(((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / 86400000.0};
}

TDateTime FileDateToDateTime(int fileDate) {
  auto packed = static_cast<std::uint32_t>(fileDate);
  int year = static_cast<int>(packed >> 25) + 1980;
  int month = static_cast<int>(packed >> 21 & 0x0F);
  int day = static_cast<int>(packed >> 16 & 0x1F);
  int hour = static_cast<int>(packed >> 11 & 0x1F);
  int min = static_cast<int>(packed >> 5 & 0x3F);
  int sec = static_cast<int>(packed & 0x1F) * 2;
  TDateTime date = EncodeDate(year, month, day);
  TDateTime time = EncodeTime(hour, min, sec, 0);
  return TDateTime{date.Val + time.Val};
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  std::int64_t days;
  int ms;
  Split(value, days, ms);
  CivilFromDays(days + kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
  std::int64_t days;
  int ms;
  Split(value, days, ms);
  hour = ms / 3600000;
  min = ms / 60000 % 60;
  sec = ms / 1000 % 60;
  msec = ms % 1000;
}

AnsiString FormatDateTimePattern(const AnsiString& pattern, TDateTime value) {
  const std::string& p = pattern.IsEmpty() ? std::string("m/d/yy") : pattern.Bytes();
  int year, month, day, hour, min, sec, msec;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, min, sec, msec);
  std::string out;
  std::size_t i = 0;
  while (i < p.size()) {
    unsigned char b = static_cast<unsigned char>(p[i]);
    if (IsLeadByte(b) && i + 1 < p.size()) {  // a double-byte character: its trail is no token
      out.append(p, i, 2);
      i += 2;
      continue;
    }
    char c = Lower(p[i]);
    if (c == '/') {
      out += DateSeparator;
      ++i;
      continue;
    }
    if (c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's') {
      std::size_t run = 1;
      while (i + run < p.size() && Lower(p[i + run]) == c) ++run;
      bool done = true;
      if (c == 'y' && run == 2)
        AppendNumber(out, year % 100, 2);
      else if (c == 'y' && run == 4)
        AppendNumber(out, year, 4);
      else if (c != 'y' && run <= 2) {
        int v = c == 'm' ? month : c == 'd' ? day : c == 'h' ? hour : c == 'n' ? min : sec;
        AppendNumber(out, v, static_cast<int>(run));
      } else {
        done = false;
      }
      if (!done) out.append(p, i, run);  // no token of ours: copied as it stands
      i += run;
      continue;
    }
    out += p[i];
    ++i;
  }
  return AnsiString(std::move(out));
}

AnsiString DateToStr(TDateTime value) { return FormatDateTimePattern(ShortDateFormat, value); }

AnsiString TimeToStr(TDateTime value) { return FormatDateTimePattern(LongTimeFormat, value); }

AnsiString DateTimeToStr(TDateTime value) {
  int hour, min, sec, msec;
  DecodeTime(value, hour, min, sec, msec);
  AnsiString text = DateToStr(value);
  if (hour != 0 || min != 0 || sec != 0) text += AnsiString(" ") + TimeToStr(value);
  return text;
}
