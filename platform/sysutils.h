// Exceptions and the date and time services of the run-time library.
#pragma once

#include <exception>
#include <string>

#include "platform/ansi_string.h"

// Base of every error the platform raises; the message is CP932 text.
class Exception : public std::exception {
 public:
  explicit Exception(AnsiString message) : message_(std::move(message)) {}
  const AnsiString& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  AnsiString message_;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Days since 1899-12-30, the time of day as the fraction.
struct TDateTime {
  double Val = 0.0;
};

// Raise EConvertError with "日付に変換できない値が渡されました" for fields that form no date
// (year 1..9999), "時刻に変換できない値が渡されました" for time fields out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
// Packed DOS date and time (bits 25-31 year-1980, 21-24 month, 16-20 day, 11-15 hour,
// 5-10 minute, 0-4 seconds/2) to a date-time value; raises EConvertError as above.
TDateTime FileDateToDateTime(int fileDate);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// The short date text, alone when the time of day is 00:00:00, otherwise followed by one blank
// and the time in LongTimeFormat.
AnsiString DateTimeToStr(TDateTime value);
AnsiString DateToStr(TDateTime value);
AnsiString TimeToStr(TDateTime value);
// Renders value by pattern: tokens yy yyyy m mm d dd h hh n nn s ss, "/" stands for
// DateSeparator, everything else is copied. An empty pattern means "m/d/yy".
AnsiString FormatDateTimePattern(const AnsiString& pattern, TDateTime value);

// Locale settings, read by the renderings above. Defaults: "yy/mm/dd", '/', "h:nn:ss".
extern AnsiString ShortDateFormat;
extern char DateSeparator;
extern AnsiString LongTimeFormat;
