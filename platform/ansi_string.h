// Byte strings in code page 932 and their conversion to and from UTF-8.
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

// A byte string in code page 932 (Shift-JIS). Empty until assigned, compared byte for
// byte; lengths and positions count bytes, positions from 1.
class AnsiString {
 public:
  AnsiString() = default;
  AnsiString(const char* bytes) : bytes_(bytes ? bytes : "") {}  // NOLINT: implicit by design
  AnsiString(std::string_view bytes) : bytes_(bytes) {}          // NOLINT
  AnsiString(std::string bytes) : bytes_(std::move(bytes)) {}    // NOLINT

  // UTF-8 text converted to CP932; throws EConvertError when the text is not valid UTF-8 or
  // holds a character that CP932 lacks. For the program's own literals.
  static AnsiString FromUtf8(std::string_view utf8);

  int Length() const { return static_cast<int>(bytes_.size()); }
  bool IsEmpty() const { return bytes_.empty(); }
  const char* c_str() const { return bytes_.c_str(); }
  const std::string& Bytes() const { return bytes_; }

  // Up to count bytes from position index (1-based); what lies outside the string is cut.
  AnsiString SubString(int index, int count) const;
  // The byte at position index (1-based); index must lie in 1..Length().
  char operator[](int index) const { return bytes_[static_cast<std::size_t>(index - 1)]; }

  AnsiString& operator+=(const AnsiString& other) {
    bytes_ += other.bytes_;
    return *this;
  }
  friend AnsiString operator+(AnsiString a, const AnsiString& b) { return a += b; }
  friend AnsiString operator+(AnsiString a, const char* b) { return a += AnsiString(b); }
  friend AnsiString operator+(const char* a, const AnsiString& b) { return AnsiString(a) += b; }
  friend bool operator==(const AnsiString& a, const AnsiString& b) = default;
  friend std::strong_ordering operator<=>(const AnsiString& a, const AnsiString& b) = default;

  // UTF-8 for the terminal: bytes that are not CP932 show as \xNN, never lost silently.
  std::string ToDisplayUtf8() const;

 private:
  std::string bytes_;
};

// Strict conversions through iconv ("CP932"): nullopt when the input is not valid in its
// encoding or a character has no counterpart. Never replaces anything silently.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Decimal text of an integer, as "%d" gives it.
AnsiString IntToStr(int value);
