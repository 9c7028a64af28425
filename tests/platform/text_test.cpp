#include <gtest/gtest.h>

#include "platform/ansi_string.h"
#include "platform/sysutils.h"

namespace {

struct Conversion {
  const char* what;
  std::string utf8;
  std::string cp932;
};

// Where CP932 holds a character under two codes, the code Windows' own conversion gives.
const Conversion kConversions[] = {
    {"ASCII", "Kernel32.dll", "Kernel32.dll"},
    {"kanji", "総ファイル数＝", "\x91\x8D\x83\x74\x83\x40\x83\x43\x83\x8B\x90\x94\x81\x81"},
    {"half-width katakana", "ｸｲｯｸ", "\xB8\xB2\xAF\xB8"},
    {"trail byte 0x5C", "表", "\x95\x5C"},
    {"approximately equal: JIS row 2, not NEC row 13", "≒", "\x81\xE0"},
    {"identical to: JIS row 2", "≡", "\x81\xDF"},
    {"because: JIS row 2", "∵", "\x81\xE6"},
    {"small roman one: IBM extension", "ⅰ", "\xFA\x40"},
    {"capital roman one: NEC row 13", "Ⅰ", "\x87\x54"},
    {"full-width not sign: JIS row 2", "￢", "\x81\xCA"},
    {"numero: NEC row 13", "№", "\x87\x82"},
    {"full-width broken bar: IBM extension", "￤", "\xFA\x55"},
};

TEST(Cp932Conversion, KnownCharactersBothWays) {
  for (const auto& c : kConversions) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932);
    EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
  }
}

TEST(Cp932Conversion, NecSelectedCodesDecodeToTheSameCharacter) {
  // 0xED40 is the NEC-selected copy of the IBM extension 0xFA5C; it reads, but is never written.
  auto utf8 = Cp932ToUtf8("\xED\x40");
  ASSERT_TRUE(utf8);
  EXPECT_EQ(Utf8ToCp932(*utf8), std::string("\xFA\x5C"));
}

// Rank of a double-byte code among the codes of one character, in the order Windows prefers
// them when it converts: JIS X 0208, then NEC row 13, then the IBM extensions, and the
// NEC-selected copies of the IBM extensions last.
int Preference(unsigned lead) {
  if (lead == 0x87) return 1;
  if (lead >= 0xFA) return 2;
  if (lead == 0xED || lead == 0xEE) return 3;
  return 0;
}

TEST(Cp932Conversion, EveryCharacterGetsTheCodeWindowsPrefers) {
  int checked = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const char code[] = {static_cast<char>(lead), static_cast<char>(trail)};
      auto utf8 = Cp932ToUtf8(std::string_view(code, 2));
      if (!utf8) continue;
      auto back = Utf8ToCp932(*utf8);
      ASSERT_TRUE(back) << std::hex << lead << trail;
      ASSERT_EQ(back->size(), 2u) << std::hex << lead << trail;
      EXPECT_EQ(Cp932ToUtf8(*back), utf8);
      EXPECT_LE(Preference(static_cast<unsigned char>((*back)[0])), Preference(lead))
          << std::hex << lead << trail;
      EXPECT_NE(Preference(static_cast<unsigned char>((*back)[0])), 3) << std::hex << lead << trail;
      ++checked;
    }
  }
  EXPECT_GT(checked, 7000);
}

TEST(Cp932Conversion, RefusesWhatItCannotHold) {
  const std::string badUtf8[] = {"caf\xC3\xA9",       // é: not in CP932
                                 "\xF0\x9F\x98\x80",  // an emoji
                                 "\xC3",              // cut short
                                 "\xC0\xAF",          // overlong "/"
                                 "\xED\xA0\x80",      // a surrogate
                                 std::string("a\0b", 3)};
  for (const auto& s : badUtf8) EXPECT_FALSE(Utf8ToCp932(s)) << testing::PrintToString(s);
  const std::string badCp932[] = {"\x80", "\xA0", "\xFD", "\x81", "\x81\x20", std::string("\0", 1)};
  for (const auto& s : badCp932) EXPECT_FALSE(Cp932ToUtf8(s)) << testing::PrintToString(s);
}

TEST(AnsiStringText, FromUtf8ThrowsOnUnrepresentableText) {
  EXPECT_EQ(AnsiString::FromUtf8("終了").Bytes(), "\x8F\x49\x97\xB9");
  EXPECT_THROW(AnsiString::FromUtf8("caf\xC3\xA9"), EConvertError);
  EXPECT_THROW(AnsiString::FromUtf8("\xFF"), EConvertError);
}

TEST(AnsiStringText, ComparesBytesAndCountsPositionsFromOne) {
  AnsiString empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.Length(), 0);
  EXPECT_NE(AnsiString("DOS"), AnsiString("dos"));
  EXPECT_NE(AnsiString("DOS"), AnsiString("DOS "));
  AnsiString date("97/03/15");
  EXPECT_EQ(date[1], '9');
  struct Cut {
    const char* text;
    int index, count;
    const char* want;
  };
  const Cut cuts[] = {
      {"97/03/15", 1, 2, "97"}, {"97/03/15", 4, 2, "03"}, {"97/03/15", 7, 2, "15"},
      {"3/15/97", 7, 2, "7"},   {"3/15/97", 8, 2, ""},    {"abc", 0, 2, "a"},
      {"abc", 2, 0, ""},        {"abc", 2, -1, ""},       {"abc", 2, 2147483647, "bc"},
  };
  for (const auto& c : cuts)
    EXPECT_EQ(AnsiString(c.text).SubString(c.index, c.count), AnsiString(c.want))
        << c.text << " " << c.index << " " << c.count;
  EXPECT_EQ((AnsiString("\\WINDOWS") + "\\" + AnsiString("SYSTEM")).Bytes(), "\\WINDOWS\\SYSTEM");
}

TEST(AnsiStringText, DisplayShowsBadBytesEscaped) {
  EXPECT_EQ(AnsiString("\x8F\x49\x97\xB9").ToDisplayUtf8(), "終了");
  EXPECT_EQ(AnsiString("a\x80z\x81").ToDisplayUtf8(), "a\\x80z\\x81");
  EXPECT_EQ(AnsiString("\x93\xFA\xFD\xB1").ToDisplayUtf8(), "日\\xFDｱ");
  EXPECT_EQ(AnsiString(std::string("\0\x83\x7C", 3)).ToDisplayUtf8(), "\\x00ポ");
}

TEST(IntToStrText, DecimalWithoutPadding) {
  const std::pair<int, const char*> cases[] = {{0, "0"},
                                               {1234, "1234"},
                                               {-5, "-5"},
                                               {2147483647, "2147483647"},
                                               {-2147483647 - 1, "-2147483648"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(IntToStr(value), AnsiString(text));
}

}  // namespace
