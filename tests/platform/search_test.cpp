#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/crt.h"
#include "platform/findfile.h"
#include "platform/internal.h"
#include "tests/platform/layer_fixture.h"

namespace {

using fixture::MakeDirs;
using fixture::SetDosAttrib;
using fixture::SetMtime;
using fixture::WriteFile;

struct Found {
  std::string name;
  int attr;
  bool operator==(const Found&) const = default;
};

void PrintTo(const Found& f, std::ostream* os) { *os << "{" << f.name << ", " << f.attr << "}"; }

class Search : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    MakeDirs(tmp / "c");
    MountDrive('c', tmp / "c");
  }

  std::vector<Found> List(const AnsiString& pattern, int mask = faAnyFile) {
    std::vector<Found> out;
    TSearchRec rec;
    for (int r = FindFirst(pattern, mask, rec); r == 0; r = FindNext(rec))
      out.push_back({rec.Name.Bytes(), rec.Attr});
    FindClose(rec);
    EXPECT_EQ(rec.FindHandle, nullptr);
    return out;
  }

  std::vector<std::string> Names(const AnsiString& pattern, int mask = faAnyFile) {
    std::vector<std::string> out;
    for (auto& f : List(pattern, mask)) out.push_back(f.name);
    return out;
  }
};

TEST_F(Search, OrderIsUpperCasedUtf16WithDotsFirstBelowTheRoot) {
  for (const char* name :
       {"b.txt", "A.TXT", "_x", "a", "Zeta", "~tilde", "日本", "ｶﾅ", "ＡＢ", "ａｃ"})
    WriteFile(tmp / ("c/d/" + std::string(name)));
  // Upper-cased by code units: '_' (0x5F) after letters, '~' after '_'; full-width Latin folds
  // to its own capitals (U+FF21..), above the half-width katakana (U+FF76) only by code unit.
  const std::vector<std::string> want = {
      ".",
      "..",
      "a",
      "A.TXT",
      "b.txt",
      "Zeta",
      "_x",
      "~tilde",
      "\x93\xFA\x96\x7B",  // 日本 U+65E5
      "\x82\x60\x82\x61",  // ＡＢ U+FF21
      "\x82\x81\x82\x83",  // ａｃ U+FF41 -> U+FF23
      "\xB6\xC5",          // ｶﾅ U+FF76
  };
  EXPECT_EQ(Names("c:\\d\\*.*"), want);
  // The root has no dot entries.
  EXPECT_EQ(Names("c:\\*.*"), std::vector<std::string>{"d"});
}

TEST_F(Search, DotEntriesAreFoldersWithTheFoldersTimes) {
  MakeDirs(tmp / "c/p/q");
  SetMtime(tmp / "c/p/q", fixture::LocalTime(1999, 5, 6, 7, 8, 10));
  SetMtime(tmp / "c/p", fixture::LocalTime(1998, 1, 2, 3, 4, 6));
  TSearchRec rec;
  ASSERT_EQ(FindFirst("c:\\p\\q\\*", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, AnsiString("."));
  EXPECT_EQ(rec.Attr, 16);
  EXPECT_EQ(rec.Time, (19 << 25 | 5 << 21 | 6 << 16 | 7 << 11 | 8 << 5 | 5));
  ASSERT_EQ(FindNext(rec), 0);
  EXPECT_EQ(rec.Name, AnsiString(".."));
  EXPECT_EQ(rec.Attr, 16);
  EXPECT_EQ(rec.Time, (18 << 25 | 1 << 21 | 2 << 16 | 3 << 11 | 4 << 5 | 3));
  EXPECT_NE(FindNext(rec), 0);
  FindClose(rec);
}

TEST_F(Search, Wildcards) {
  for (const char* name : {"README.TXT", "readme", "notes.txt.bak", "a.b", "ab", "x.TXT"})
    WriteFile(tmp / ("c/w/" + std::string(name)));
  struct Case {
    const char* pattern;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"c:\\w\\*", {".", "..", "a.b", "ab", "notes.txt.bak", "readme", "README.TXT", "x.TXT"}},
      {"c:\\w\\*.*", {".", "..", "a.b", "ab", "notes.txt.bak", "readme", "README.TXT", "x.TXT"}},
      {"c:\\w\\*.txt", {"README.TXT", "x.TXT"}},
      {"c:\\w\\readme.*", {"readme", "README.TXT"}},
      {"c:\\w\\?b", {"ab"}},
      {"c:\\w\\a?b", {"a.b"}},
      {"c:\\w\\*.t?t*", {"notes.txt.bak", "README.TXT", "x.TXT"}},
      {"c:\\w\\README.TXT", {"README.TXT"}},
      {"c:\\w\\readme.txt", {"README.TXT"}},
      {"C:\\W\\ReadMe.Txt", {"README.TXT"}},
      {"C:\\W", {"w"}},  // a folder named without wildcards is found as well
      {"c:\\w\\README.TXT. ", {"README.TXT"}},
      {"c:\\w\\nothing*", {}},
      {"c:\\nowhere\\*", {}},
      {"c:\\w\\", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Names(c.pattern), c.want) << c.pattern;
}

TEST_F(Search, AttributesSizesAndTheMask) {
  MakeDirs(tmp / "c/f/plain");
  MakeDirs(tmp / "c/f/ro");
  chmod((tmp / "c/f/ro").c_str(), 0555);
  MakeDirs(tmp / "c/f/.hid");
  MakeDirs(tmp / "c/f/sys");
  SetDosAttrib(tmp / "c/f/sys", "0x4");
  MakeDirs(tmp / "c/f/arc");
  SetDosAttrib(tmp / "c/f/arc", std::string("0X20\0", 5));
  WriteFile(tmp / "c/f/file", 1500);
  WriteFile(tmp / "c/f/rofile", 3);
  chmod((tmp / "c/f/rofile").c_str(), 0444);
  WriteFile(tmp / "c/f/io.sys");
  SetDosAttrib(tmp / "c/f/io.sys", "0x27");  // read-only, hidden, system, archive
  WriteFile(tmp / "c/f/bits");
  SetDosAttrib(tmp / "c/f/bits", "0xFFFFFFFF");  // only 1, 2, 4 and 32 are taken
  const std::string badValues[] = {
      "0x", "0x123456789", "22", "0x2g", "x22", " 0x2", std::string("0x2\0\0", 5), "0x2 "};
  for (std::size_t i = 0; i < std::size(badValues); ++i) {
    std::string name = "c/f/bad/" + std::to_string(i);
    WriteFile(tmp / name);
    SetDosAttrib(tmp / name, badValues[i]);
  }
  WriteFile(tmp / "c/f/big", (std::int64_t{1} << 32) + 5);
  WriteFile(tmp / "c/f/neg", (std::int64_t{1} << 31) + 1);
  symlink("/etc", (tmp / "c/f/link").c_str());
  mkfifo((tmp / "c/f/pipe").c_str(), 0644);

  std::vector<Found> want = {{".", 16},      {"..", 16},     {".hid", 18},   {"arc", 48},
                             {"bad", 16},    {"big", 32},    {"bits", 39},   {"file", 32},
                             {"io.sys", 39}, {"link", 1056}, {"neg", 32},    {"pipe", 32},
                             {"plain", 16},  {"ro", 17},     {"rofile", 33}, {"sys", 20}};
  const bool savedAt = layer_internal::useGetxattrat;
  const bool savedCwd = layer_internal::useCwdForXattr;
  const std::filesystem::path hostCwd = std::filesystem::current_path();
  struct Route {
    bool at, cwd;
  };
  // Every way of reading user.DOSATTRIB: getxattrat, the folder as current directory, /proc.
  for (Route route : {Route{true, true}, Route{false, true}, Route{false, false}}) {
    layer_internal::useGetxattrat = route.at;
    layer_internal::useCwdForXattr = route.cwd;
    SCOPED_TRACE(testing::Message() << "getxattrat " << route.at << ", cwd " << route.cwd);
    EXPECT_EQ(List("c:\\f\\*"), want);
    auto bad = List("c:\\f\\bad\\*");
    EXPECT_EQ(bad.size(), 2 + std::size(badValues));
    for (auto& f : bad) EXPECT_TRUE(f.attr == 16 || f.attr == 32) << f.name;
    EXPECT_EQ(std::filesystem::current_path(), hostCwd);  // given back after each listing
  }
  layer_internal::useGetxattrat = savedAt;
  layer_internal::useCwdForXattr = savedCwd;

  struct Size {
    const char* name;
    int size;
    std::int64_t full;
  };
  const Size sizes[] = {{"file", 1500, 1500},
                        {"big", 5, (std::int64_t{1} << 32) + 5},
                        {"neg", -2147483647, (std::int64_t{1} << 31) + 1},
                        {"plain", 0, 0},
                        {"link", 0, 0},
                        {"pipe", 0, 0}};
  for (const auto& s : sizes) {
    TSearchRec rec;
    ASSERT_EQ(FindFirst(AnsiString("c:\\f\\") + s.name, faAnyFile, rec), 0) << s.name;
    EXPECT_EQ(rec.Size, s.size) << s.name;
    EXPECT_EQ(rec.FullSize, s.full) << s.name;
    FindClose(rec);
  }

  // The mask leaves out entries with a hidden, system, directory or volume bit it lacks.
  EXPECT_EQ(Names("c:\\f\\*", 0),
            (std::vector<std::string>{"big", "file", "link", "neg", "pipe", "rofile"}));
  EXPECT_EQ(Names("c:\\f\\*", faDirectory),
            (std::vector<std::string>{".", "..", "arc", "bad", "big", "file", "link", "neg", "pipe",
                                      "plain", "ro", "rofile"}));
  EXPECT_EQ(
      Names("c:\\f\\*", faHidden | faSysFile),
      (std::vector<std::string>{"big", "bits", "file", "io.sys", "link", "neg", "pipe", "rofile"}));
}

TEST_F(Search, FindCloseIsHarmlessAndFailuresHoldNothing) {
  TSearchRec rec;
  FindClose(rec);
  EXPECT_NE(FindFirst("c:\\missing.txt", faAnyFile, rec), 0);
  EXPECT_EQ(rec.FindHandle, nullptr);
  EXPECT_NE(FindFirst("z:\\*", faAnyFile, rec), 0);
  EXPECT_EQ(rec.FindHandle, nullptr);
  FindClose(rec);
}

}  // namespace

namespace {

class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

int Pack(int y, int mo, int d, int h, int mi, int s) {
  return (y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 | s / 2;
}

TEST_F(Search, TimesArePackedInLocalTimeAndClamped) {
  struct Case {
    std::time_t utc;  // seconds since 1970 UTC
    int inUtc;
    int inTokyo;
  };
  const Case cases[] = {
      {857997296, Pack(1997, 3, 10, 12, 34, 56), Pack(1997, 3, 10, 21, 34, 56)},
      {857997297, Pack(1997, 3, 10, 12, 34, 56), Pack(1997, 3, 10, 21, 34, 56)},  // odd second
      {946684799, Pack(1999, 12, 31, 23, 59, 58), Pack(2000, 1, 1, 8, 59, 58)},
      {315532800, Pack(1980, 1, 1, 0, 0, 0), Pack(1980, 1, 1, 9, 0, 0)},
      // 1979-12-31 20:00 UTC is before 1980 in UTC, but 1980-01-01 05:00 in Tokyo.
      {315518400, Pack(1980, 1, 1, 0, 0, 0), Pack(1980, 1, 1, 5, 0, 0)},
      {0, Pack(1980, 1, 1, 0, 0, 0), Pack(1980, 1, 1, 0, 0, 0)},
      {-86400 * 365, Pack(1980, 1, 1, 0, 0, 0), Pack(1980, 1, 1, 0, 0, 0)},
      // 2107-12-31 23:59:59 UTC; in Tokyo it is 2108 already.
      {4354819199, Pack(2107, 12, 31, 23, 59, 58), Pack(2107, 12, 31, 23, 59, 58)},
      {4354786800, Pack(2107, 12, 31, 15, 0, 0), Pack(2107, 12, 31, 23, 59, 58)},
      {7258118400, Pack(2107, 12, 31, 23, 59, 58), Pack(2107, 12, 31, 23, 59, 58)},  // 2200
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) WriteFile(tmp / ("c/t/" + std::to_string(i)));
  for (std::size_t i = 0; i < std::size(cases); ++i)
    SetMtime(tmp / ("c/t/" + std::to_string(i)), cases[i].utc);
  for (const char* tz : {"UTC0", "JST-9"}) {
    TimeZone zone(tz);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      TSearchRec rec;
      ASSERT_EQ(FindFirst(AnsiString("c:\\t\\") + std::to_string(i), faAnyFile, rec), 0);
      int want = std::string(tz) == "UTC0" ? cases[i].inUtc : cases[i].inTokyo;
      EXPECT_EQ(rec.Time, want) << tz << " case " << i << " got " << std::hex << rec.Time;
      FindClose(rec);
    }
  }
}

TEST_F(Search, LinksKeepTheirOwnTime) {
  WriteFile(tmp / "c/l/target");
  SetMtime(tmp / "c/l/target", 857997296);
  symlink("target", (tmp / "c/l/link").c_str());
  SetMtime(tmp / "c/l/link", 946684799);
  TimeZone zone("UTC0");
  TSearchRec rec;
  ASSERT_EQ(FindFirst("c:\\l\\link", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Time, Pack(1999, 12, 31, 23, 59, 58));
  EXPECT_EQ(rec.Attr, faReparsePoint | faArchive);
  FindClose(rec);
}

TEST_F(Search, HostIdentityOfEveryEntry) {
  WriteFile(tmp / "c/i/file");
  MakeDirs(tmp / "c/i/sub");
  struct stat file, self, parent;
  lstat((tmp / "c/i/file").c_str(), &file);
  lstat((tmp / "c/i").c_str(), &self);
  lstat((tmp / "c").c_str(), &parent);
  std::vector<std::pair<std::string, std::uint64_t>> got;
  TSearchRec rec;
  for (int r = FindFirst("c:\\i\\*", faAnyFile, rec); r == 0; r = FindNext(rec)) {
    got.emplace_back(rec.Name.Bytes(), rec.HostInode);
    EXPECT_EQ(rec.HostDevice, self.st_dev);
  }
  FindClose(rec);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].second, self.st_ino);
  EXPECT_EQ(got[1].second, parent.st_ino);
  EXPECT_EQ(got[2].second, file.st_ino);
}

}  // namespace

namespace {

TEST_F(Search, SocketsAndDevicesAreEmptyFilesNeverOpened) {
  MakeDirs(tmp / "c/s");
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string where = tmp / "c/s/sock";
  ASSERT_LT(where.size(), sizeof addr.sun_path);
  where.copy(addr.sun_path, where.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  std::vector<std::string> want = {".", "..", "sock"};
  // A character device (that of /dev/zero) where the machine lets us make one.
  if (mknod((tmp / "c/s/zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0) want.push_back("zero");
  TSearchRec rec;
  std::vector<std::string> got;
  for (int r = FindFirst("c:\\s\\*", faAnyFile, rec); r == 0; r = FindNext(rec)) {
    got.push_back(rec.Name.Bytes());
    if (got.size() > 2) {
      EXPECT_EQ(rec.Attr, faArchive) << rec.Name.Bytes();
      EXPECT_EQ(rec.Size, 0);
      EXPECT_EQ(rec.FullSize, 0);
    }
  }
  FindClose(rec);
  EXPECT_EQ(got, want);
  // Writing to them is refused instead of opening them.
  for (std::size_t i = 2; i < want.size(); ++i)
    EXPECT_EQ(rtl::fopen(AnsiString("c:\\s\\") + want[i], "wt"), nullptr) << want[i];
  close(fd);
}

}  // namespace
