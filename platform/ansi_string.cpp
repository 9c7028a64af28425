// CP932 byte strings and strict conversions through glibc's iconv.
#include "platform/ansi_string.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/internal.h"
#include "platform/sysutils.h"

namespace {

// An iconv descriptor kept for the thread: opening one costs far more than a conversion, and
// names are converted for every entry of every folder listed.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts all of input or nothing. iconv without //TRANSLIT or //IGNORE reports EILSEQ for a
// character the target lacks, EINVAL for a sequence cut short, so nothing is replaced.
std::optional<std::string> Convert(const Converter& conv, std::string_view input) {
  if (!conv.ok()) return std::nullopt;
  iconv_t cd = conv.get();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::string out;
  out.resize(input.size() * 4 + 16);
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<std::size_t>(-1)) {
      if (errno != E2BIG) return std::nullopt;
      std::size_t used = out.size() - outLeft;
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    if (r > 0) return std::nullopt;  // a non-reversible conversion is a replacement: refuse it
  }
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
    return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

const Converter& ToUtf8() {
  thread_local Converter conv("UTF-8", "CP932");
  return conv;
}

const Converter& ToCp932() {
  thread_local Converter conv("CP932", "UTF-8");
  return conv;
}

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Code point of every CP932 code (single bytes at 0..255, double bytes at their value), 0 where
// the code is not CP932. Built once from iconv so that it agrees with the conversions.
const std::vector<char32_t>& Cp932Table() {
  static const std::vector<char32_t> table = [] {
    std::vector<char32_t> t(0x10000, 0);
    auto decode = [](std::string_view bytes) -> char32_t {
      auto utf8 = Convert(ToUtf8(), bytes);
      if (!utf8) return 0;
      std::u32string cps;
      if (!layer_internal::DecodeUtf8(*utf8, cps) || cps.size() != 1) return 0;
      return cps[0];
    };
    for (int b = 1; b < 0x100; ++b) {
      if (IsLeadByte(static_cast<unsigned char>(b))) continue;
      char c = static_cast<char>(b);
      t[static_cast<std::size_t>(b)] = decode(std::string_view(&c, 1));
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        t[static_cast<std::size_t>(lead << 8 | trail)] = decode(std::string_view(pair, 2));
      }
    }
    return t;
  }();
  return table;
}

}  // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  // glibc maps NUL like any byte; names never hold it, and C strings cannot carry it.
  if (cp932.find('\0') != std::string_view::npos) return std::nullopt;
  return Convert(ToUtf8(), cp932);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  if (utf8.find('\0') != std::string_view::npos) return std::nullopt;
  std::u32string check;
  if (!layer_internal::DecodeUtf8(utf8, check)) return std::nullopt;
  return Convert(ToCp932(), utf8);
}

AnsiString AnsiString::FromUtf8(std::string_view utf8) {
  auto bytes = Utf8ToCp932(utf8);
  if (!bytes) throw EConvertError(AnsiString("text cannot be held in code page 932"));
  return AnsiString(std::move(*bytes));
}

AnsiString AnsiString::SubString(int index, int count) const {
  if (count <= 0) return AnsiString();
  long long start = index < 1 ? 0 : static_cast<long long>(index) - 1;
  long long end = static_cast<long long>(index) - 1 + count;
  long long size = static_cast<long long>(bytes_.size());
  if (start >= size || end <= start) return AnsiString();
  if (end > size) end = size;
  return AnsiString(
      bytes_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

std::string AnsiString::ToDisplayUtf8() const {
  if (auto whole = Cp932ToUtf8(bytes_)) return *whole;
  // Some bytes are not CP932: convert character by character and show those as \xNN.
  std::string out;
  for (char32_t cp : layer_internal::DecodeCp932Lenient(bytes_)) {
    if (cp >= 0xDC80 && cp < 0xDC80 + 0x100) {  // a byte that is not CP932
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(cp - 0xDC80));
      out += buf;
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {  // CP932 holds nothing beyond the BMP
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

AnsiString IntToStr(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d", value);
  return AnsiString(buf);
}

namespace layer_internal {

bool DecodeUtf8(std::string_view s, std::u32string& out) {
  out.clear();
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    char32_t cp;
    std::size_t len;
    char32_t min;
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1Fu, len = 2, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0Fu, len = 3, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07u, len = 4, min = 0x10000;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back(cp);
    i += len;
  }
  return true;
}

std::u32string DecodeCp932Lenient(std::string_view s) {
  const auto& table = Cp932Table();
  std::u32string out;
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(b) && i + 1 < s.size()) {
      char32_t cp = table[static_cast<std::size_t>(b << 8 | static_cast<unsigned char>(s[i + 1]))];
      if (cp != 0) {
        out.push_back(cp);
        i += 2;
        continue;
      }
    } else if (!IsLeadByte(b) && b != 0 && table[b] != 0) {
      out.push_back(table[b]);
      ++i;
      continue;
    }
    out.push_back(0xDC80 + b);
    ++i;
  }
  return out;
}

char32_t SimpleUpper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;  // Greek
  if (c == 0x3C2) return 0x3A3;                                 // final sigma
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (c >= 0x2170 && c <= 0x217F) return c - 0x10;  // small Roman numerals
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;  // full-width Latin
  return c;
}

std::u16string Utf16(const std::u32string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::u16string UpperKey(const std::u32string& text) {
  std::u32string upper(text);
  for (auto& c : upper) c = SimpleUpper(c);
  return Utf16(upper);
}

bool IsForbiddenInName(char32_t c) {
  if (c < 32) return true;
  switch (c) {
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return true;
    default:
      return false;
  }
}

bool IsValidWindowsName(const std::u32string& name) {
  if (name.empty()) return false;
  for (char32_t c : name)
    if (IsForbiddenInName(c)) return false;
  return name.back() != ' ' && name.back() != '.';
}

std::string TrimName(std::string_view s) {
  if (s == "." || s == "..") return std::string(s);
  // Trail bytes of CP932 are never 0x20 or 0x2E, so trimming bytes is safe.
  std::size_t end = s.size();
  while (end > 0 && (s[end - 1] == '.' || s[end - 1] == ' ')) --end;
  return std::string(s.substr(0, end));
}

bool HasWildcards(std::string_view s) {
  // '*' (0x2A) and '?' (0x3F) are below every CP932 trail byte, so a byte search is exact.
  return s.find_first_of("*?") != std::string_view::npos;
}

}  // namespace layer_internal
