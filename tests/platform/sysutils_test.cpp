#include <gtest/gtest.h>

#include "platform/sysutils.h"

namespace {

// "日付に変換できない値が渡されました" and "時刻に変換できない値が渡されました" in CP932.
const std::string kDateError =
    "\x93\xFA\x95\x74\x82\xC9\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x92\x6C\x82\xAA"
    "\x93\x6E\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";
const std::string kTimeError =
    "\x8E\x9E\x8D\x8F\x82\xC9\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x92\x6C\x82\xAA"
    "\x93\x6E\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";

int Pack(int y, int mo, int d, int h, int mi, int s2) {
  return (y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 | s2;
}

class DateSettings : public testing::Test {
 protected:
  void SetUp() override {
    ShortDateFormat = "yy/mm/dd";
    DateSeparator = '/';
    LongTimeFormat = "h:nn:ss";
  }
  void TearDown() override { SetUp(); }
};

TEST(EncodeDateTime, DayCountsSince18991230) {
  EXPECT_EQ(EncodeDate(1899, 12, 30).Val, 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1).Val, 2.0);
  EXPECT_EQ(EncodeDate(1997, 3, 15).Val, 35504.0);
  EXPECT_EQ(EncodeDate(2000, 2, 29).Val, 36585.0);
  EXPECT_EQ(EncodeDate(1, 1, 1).Val, -693593.0);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0).Val, 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0).Val, 0.25);
}

TEST(EncodeDateTime, BadFieldsRaiseTheJapaneseMessages) {
  struct Bad {
    int y, mo, d;
  };
  const Bad badDates[] = {{1997, 0, 1},  {1997, 13, 1}, {1997, 2, 29}, {2000, 2, 30}, {1900, 2, 29},
                          {1997, 4, 31}, {1997, 1, 0},  {0, 1, 1},     {10000, 1, 1}};
  for (const auto& b : badDates) {
    try {
      EncodeDate(b.y, b.mo, b.d);
      ADD_FAILURE() << b.y << "-" << b.mo << "-" << b.d;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message().Bytes(), kDateError);
    }
  }
  struct BadTime {
    int h, mi, s, ms;
  };
  const BadTime badTimes[] = {
      {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
  for (const auto& b : badTimes) {
    try {
      EncodeTime(b.h, b.mi, b.s, b.ms);
      ADD_FAILURE() << b.h << ":" << b.mi << ":" << b.s;
    } catch (const Exception& e) {  // EConvertError is an Exception
      EXPECT_EQ(e.Message().Bytes(), kTimeError);
    }
  }
}

TEST(FileDate, ConvertsPackedDosTimes) {
  int y, mo, d, h, mi, s, ms;
  TDateTime v = FileDateToDateTime(Pack(1997, 3, 15, 12, 34, 28));
  DecodeDate(v, y, mo, d);
  DecodeTime(v, h, mi, s, ms);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s, ms}),
            (std::vector<int>{1997, 3, 15, 12, 34, 56, 0}));
  v = FileDateToDateTime(Pack(2107, 12, 31, 23, 59, 29));
  DecodeDate(v, y, mo, d);
  DecodeTime(v, h, mi, s, ms);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s}), (std::vector<int>{2107, 12, 31, 23, 59, 58}));
}

TEST(FileDate, InvalidFieldsRaise) {
  struct Case {
    int packed;
    const std::string* message;
  };
  const Case cases[] = {
      {Pack(1997, 0, 15, 0, 0, 0), &kDateError},  {Pack(1997, 13, 15, 0, 0, 0), &kDateError},
      {Pack(1997, 2, 29, 0, 0, 0), &kDateError},  {Pack(1997, 3, 0, 0, 0, 0), &kDateError},
      {Pack(1997, 3, 15, 24, 0, 0), &kTimeError}, {Pack(1997, 3, 15, 0, 60, 0), &kTimeError},
      {Pack(1997, 3, 15, 0, 0, 30), &kTimeError}, {0, &kDateError},
  };
  for (const auto& c : cases) {
    try {
      FileDateToDateTime(c.packed);
      ADD_FAILURE() << std::hex << c.packed;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message().Bytes(), *c.message) << std::hex << c.packed;
    }
  }
}

TEST_F(DateSettings, DateTimeToStrWithTheDefaults) {
  EXPECT_EQ(DateTimeToStr(FileDateToDateTime(Pack(1997, 3, 15, 0, 0, 0))), AnsiString("97/03/15"));
  EXPECT_EQ(DateTimeToStr(FileDateToDateTime(Pack(1997, 3, 15, 12, 34, 28))),
            AnsiString("97/03/15 12:34:56"));
  EXPECT_EQ(DateTimeToStr(FileDateToDateTime(Pack(2000, 1, 2, 3, 4, 5))),
            AnsiString("00/01/02 3:04:10"));
  // A second of time makes the time text appear.
  EXPECT_EQ(DateTimeToStr(FileDateToDateTime(Pack(1999, 12, 31, 0, 0, 1))),
            AnsiString("99/12/31 0:00:02"));
}

TEST_F(DateSettings, PatternTokens) {
  TDateTime v{EncodeDate(1997, 3, 5).Val + EncodeTime(7, 8, 9, 0).Val};
  struct Case {
    const char* pattern;
    char separator;
    const char* want;
  };
  const Case cases[] = {
      {"", '/', "3/5/97"},
      {"yyyy/mm/dd", '/', "1997/03/05"},
      {"yy/mm/dd", '-', "97-03-05"},
      {"m/d/yy", '/', "3/5/97"},
      {"YY.MM.DD", '/', "97.03.05"},
      {"h:nn:ss", '/', "7:08:09"},
      {"hh:n:s", '/', "07:8:9"},
      {"yyy mmm ddd", '/', "yyy mmm ddd"},  // no tokens of ours: copied as they stand
      {"yyyyy", '/', "yyyyy"},
      {"dd x", '/', "05 x"},
      // CP932 "年" is 0x944E: its trail byte is 'N' and must not be read as the minute token.
      {"yyyy\x94\x4E", '/', "1997\x94\x4E"},
      {"\x8C\x8E", '/', "\x8C\x8E"},  // 月
  };
  for (const auto& c : cases) {
    DateSeparator = c.separator;
    EXPECT_EQ(FormatDateTimePattern(c.pattern, v), AnsiString(c.want)) << c.pattern;
  }
}

TEST_F(DateSettings, NumbersArePaddedToTheirTokens) {
  struct Case {
    int year, month, day, hour;
    const char* pattern;
    const char* want;
  };
  const Case cases[] = {
      {2000, 1, 1, 0, "yy/mm/dd hh", "00/01/01 00"},
      {5, 10, 9, 0, "yyyy/m/d h", "0005/10/9 0"},
      {9999, 12, 31, 23, "yyyy/mm/dd hh", "9999/12/31 23"},
      {2010, 11, 20, 0, "yy m d h", "10 11 20 0"},
  };
  DateSeparator = '/';
  for (const auto& c : cases) {
    TDateTime v{EncodeDate(c.year, c.month, c.day).Val + EncodeTime(c.hour, 0, 0, 0).Val};
    EXPECT_EQ(FormatDateTimePattern(c.pattern, v), AnsiString(c.want)) << c.pattern;
  }
}

TEST_F(DateSettings, ShortDatePatternFeedsDateTimeToStr) {
  ShortDateFormat = "yyyy/mm/dd";
  EXPECT_EQ(DateTimeToStr(EncodeDate(1997, 3, 15)), AnsiString("1997/03/15"));
  ShortDateFormat = "";
  EXPECT_EQ(DateTimeToStr(EncodeDate(1997, 3, 15)), AnsiString("3/15/97"));
}

}  // namespace
