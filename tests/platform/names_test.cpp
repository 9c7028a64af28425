#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "platform/ansi_string.h"
#include "platform/crt.h"
#include "platform/findfile.h"
#include "platform/internal.h"
#include "tests/platform/layer_fixture.h"

namespace {

using fixture::MakeDirs;
using fixture::WriteFile;

struct Listed {
  std::string name;
  int attr;
  std::uint64_t inode;
};

class Names : public LayerTest {
 protected:
  void SetUp() override {
    LayerTest::SetUp();
    MakeDirs(tmp / "c");
  }

  std::vector<Listed> List(const AnsiString& pattern) {
    std::vector<Listed> out;
    TSearchRec rec;
    for (int r = FindFirst(pattern, faAnyFile, rec); r == 0; r = FindNext(rec))
      out.push_back({rec.Name.Bytes(), rec.Attr, rec.HostInode});
    FindClose(rec);
    return out;
  }

  std::uint64_t Inode(const std::string& host) {
    struct stat st;
    EXPECT_EQ(lstat(host.c_str(), &st), 0) << host;
    return st.st_ino;
  }

  // The delivered name of the host entry rel below c/, by its inode.
  std::string NameOf(const std::string& folder, const std::string& host) {
    std::uint64_t ino = Inode(tmp / ("c/" + host));
    for (auto& e : List(AnsiString("c:\\") + folder + "*"))
      if (e.inode == ino) return e.name;
    ADD_FAILURE() << "not listed: " << host;
    return "";
  }
};

bool IsPlainWindowsAscii(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (unsigned char c : name)
    if (c < 32 || c > 126 ||
        std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
      return false;
  return true;
}

TEST_F(Names, NamesCp932CannotHoldGetUsableAliases) {
  struct Case {
    const char* what;
    std::string host;
    std::string keepsPrefix;
    std::string keepsSuffix;
  };
  const Case cases[] = {
      {"bytes that are not UTF-8", "\xFF\xFEraw.txt", "raw", ".txt"},
      {"a character CP932 lacks", "caf\xC3\xA9.txt", "caf", ".txt"},
      {"an emoji", "\xF0\x9F\x98\x80smile", "smile", ""},
      {"a character Windows forbids", "a:b", "ab", ""},
      {"a trailing dot", "name.", "name", ""},
      {"a trailing blank", "name ", "name", ""},
      {"a control character", "tab\there", "tabher", ""},
      {"a wave dash that comes back as a full-width tilde", "\xE3\x80\x9C", "", ""},
      {"a backslash", "back\\slash.doc", "backsl", ".doc"},
  };
  for (const auto& c : cases) WriteFile(tmp / ("c/d/" + c.host));
  MountDrive('c', tmp / "c");
  std::set<std::string> seen;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string alias = NameOf("d\\", "d/" + c.host);
    EXPECT_TRUE(IsPlainWindowsAscii(alias)) << alias;
    EXPECT_NE(alias.find('~'), std::string::npos) << alias;
    EXPECT_EQ(alias.substr(0, c.keepsPrefix.size()), c.keepsPrefix) << alias;
    EXPECT_EQ(alias.substr(alias.size() - c.keepsSuffix.size()), c.keepsSuffix) << alias;
    EXPECT_TRUE(seen.insert(alias).second) << alias;
    // The alias reaches the host entry, in any letter case.
    auto id = drives::IdentityOf(AnsiString("c:\\d\\") + alias);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->inode, Inode(tmp / ("c/d/" + c.host)));
    std::string lower = alias;
    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(drives::IdentityOf(AnsiString("c:\\d\\") + lower));
  }
  // The same names on another run over the same folder.
  drives::UnmountAll();
  MountDrive('c', tmp / "c");
  for (const auto& c : cases) EXPECT_TRUE(seen.count(NameOf("d\\", "d/" + c.host))) << c.what;
}

TEST_F(Names, RepresentableNamesAreDeliveredAsTheirCp932Bytes) {
  struct Case {
    std::string host;
    std::string cp932;
  };
  const Case cases[] = {
      {"日本語", "\x93\xFA\x96\x7B\x8C\xEA"},
      {"ｶﾀｶﾅ.TXT", "\xB6\xC0\xB6\xC5.TXT"},
      {"100%.txt", "100%.txt"},
      {" leading blank", " leading blank"},
      {"CON", "CON"},
      {"ポ", "\x83\x7C"},  // trail byte '|'
      {"表", "\x95\x5C"},  // trail byte '\'
      {"≒", "\x81\xE0"},
  };
  for (const auto& c : cases) WriteFile(tmp / ("c/" + c.host));
  MountDrive('c', tmp / "c");
  for (const auto& c : cases) {
    EXPECT_EQ(NameOf("", c.host), c.cp932) << c.host;
    EXPECT_TRUE(drives::IdentityOf(AnsiString("c:\\") + c.cp932)) << c.host;
  }
}

TEST_F(Names, AnAliasedFolderCanBeWalked) {
  WriteFile(tmp / "c/caf\xC3\xA9/\xFF/inner.txt", 7);
  WriteFile(tmp / "c/.h\xC3\xA9/x");
  MountDrive('c', tmp / "c");
  std::string outer = NameOf("", "caf\xC3\xA9");
  std::string inner = NameOf(outer + "\\", "caf\xC3\xA9/\xFF");
  auto entries = List(AnsiString("c:\\") + outer + "\\" + inner + "\\*.*");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].name, "inner.txt");
  ASSERT_EQ(rtl::chdir(AnsiString("c:\\") + outer + "\\" + inner), 0);
  EXPECT_EQ(drives::GetCurrentDir(), AnsiString("C:\\") + outer + "\\" + inner);
  rtl::File* f = rtl::fopen("new.txt", "wt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(rtl::fclose(f), 0);
  EXPECT_TRUE(fixture::Exists(tmp / "c/caf\xC3\xA9/\xFF/new.txt"));
  // A dot name is hidden whether or not it is delivered as an alias.
  EXPECT_EQ(entries[0].attr, 16);
  for (auto& e : List("c:\\*"))
    if (e.inode == Inode(tmp / "c/.h\xC3\xA9")) {
      EXPECT_EQ(e.attr, 18) << e.name;
    }
}

TEST_F(Names, AliasesStayUniqueWhenTheirNameIsTaken) {
  WriteFile(tmp / "c/caf\xC3\xA9.txt");
  MountDrive('c', tmp / "c");
  std::string alias = NameOf("", "caf\xC3\xA9.txt");
  // A real file that holds the alias, in other letter case: the real one keeps its name.
  std::string upper = alias;
  for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  WriteFile(tmp / ("c/" + upper));
  std::string second = NameOf("", "caf\xC3\xA9.txt");
  EXPECT_NE(second, alias);
  EXPECT_EQ(NameOf("", upper), upper);
  std::set<std::string> keys;
  for (auto& e : List("c:\\*")) {
    std::string key = e.name;
    for (auto& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(keys.insert(key).second) << e.name;
  }
  EXPECT_EQ(drives::IdentityOf(AnsiString("c:\\") + second)->inode,
            Inode(tmp / "c/caf\xC3\xA9.txt"));
}

TEST_F(Names, NamesThatDifferOnlyInCaseAreEachListedAndReached) {
  WriteFile(tmp / "c/readme.txt", 1);
  WriteFile(tmp / "c/README.TXT", 2);
  MountDrive('c', tmp / "c");
  auto entries = List("c:\\*");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "README.TXT");
  EXPECT_EQ(entries[1].name, "readme.txt");
  EXPECT_EQ(drives::IdentityOf("c:\\readme.txt")->inode, Inode(tmp / "c/readme.txt"));
  EXPECT_EQ(drives::IdentityOf("c:\\README.TXT")->inode, Inode(tmp / "c/README.TXT"));
  EXPECT_EQ(drives::IdentityOf("c:\\Readme.Txt")->inode, Inode(tmp / "c/README.TXT"));
}

TEST_F(Names, CaseIsIgnoredBeyondAscii) {
  const std::pair<std::string, std::string> cases[] = {
      {"ＡＢＣ", "\x82\x81\x82\x82\x82\x83"},  // full-width abc
      {"ΑΒΓ", "\x83\xBF\x83\xC0\x83\xC1"},     // Greek αβγ
      {"АБВ", "\x84\x70\x84\x71\x84\x72"},     // Cyrillic абв
      {"Ⅰ", "\xFA\x40"},                       // small roman one for the capital
  };
  for (const auto& [host, query] : cases) WriteFile(tmp / ("c/" + host));
  MountDrive('c', tmp / "c");
  for (const auto& [host, query] : cases) {
    auto id = drives::IdentityOf(AnsiString("c:\\") + query);
    ASSERT_TRUE(id) << host;
    EXPECT_EQ(id->inode, Inode(tmp / ("c/" + host))) << host;
  }
}

}  // namespace

namespace {

TEST(AliasNaming, MoreNamesThanFourHexDigitsCanTellApartStayUnique) {
  // 70,000 names that keep nothing in an alias: all compete for "~XXXX".
  std::vector<std::string> hosts;
  for (unsigned i = 0; i < 70000; ++i)
    hosts.push_back({'\xFF', static_cast<char>(0x80 | (i & 0x3F)),
                     static_cast<char>(0x80 | (i >> 6 & 0x3F)),
                     static_cast<char>(0x80 | (i >> 12 & 0x3F))});
  auto named = layer_internal::NameFolder(hosts);
  ASSERT_EQ(named.size(), hosts.size());
  std::set<std::string> names;
  for (const auto& e : named) {
    EXPECT_TRUE(e.alias);
    ASSERT_TRUE(names.insert(e.name.Bytes()).second) << e.name.Bytes();
    ASSERT_EQ(e.name.Bytes()[0], '~');
  }
  // The same names again from the same folder, whatever order the host lists it in.
  std::reverse(hosts.begin(), hosts.end());
  auto again = layer_internal::NameFolder(hosts);
  for (std::size_t i = 0; i < named.size(); ++i) ASSERT_EQ(again[i].name, named[i].name);
}

}  // namespace
