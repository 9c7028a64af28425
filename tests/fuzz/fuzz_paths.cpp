// Fuzzes path resolution, name mapping and the file operations over two drives planted with
// links that point out of their folders: nothing may resolve to, or change, anything outside.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "platform/crt.h"
#include "platform/drives.h"
#include "platform/findfile.h"
#include "platform/internal.h"
#include "platform/sysutils.h"
#include "tests/support/host_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace layer_internal;

[[noreturn]] void Violation(const char* what, const std::string& detail) {
  std::fprintf(stderr, "confinement violated: %s: %s\n", what, detail.c_str());
  std::abort();
}

struct World {
  fixture::TempDir base;
  std::string c, w, outside;
  std::set<std::pair<std::uint64_t, std::uint64_t>> outsideIds;
  std::size_t cEntries = 0;
  int creations = 0;

  World() {
    c = base / "c";
    w = base / "w";
    outside = base / "outside";
    fixture::WriteFile(outside + "/secret", 0, "secret");
    fixture::WriteFile(c + "/WINDOWS/SYSTEM/KERNEL32.DLL", 10);
    fixture::WriteFile(c + "/caf\xC3\xA9/\xFF/inner");
    fixture::WriteFile(c + "/a:b");
    fixture::WriteFile(c + "/\xE6\x97\xA5\xE6\x9C\xAC.txt");  // 日本.txt
    fixture::MakeDirs(w);
    for (const std::string& root : {c, w}) {
      symlink(outside.c_str(), (root + "/out").c_str());
      symlink("/", (root + "/abs").c_str());
    }
    symlink("..", (c + "/WINDOWS/up").c_str());
    symlink("../../outside/secret", (c + "/WINDOWS/SYSTEM/s.txt").c_str());
    for (const std::string& p : {base.path(), outside, outside + "/secret", std::string("/")}) {
      struct stat st;
      lstat(p.c_str(), &st);
      outsideIds.insert({st.st_dev, st.st_ino});
    }
    cEntries = Count(c);
  }

  static std::size_t Count(const std::string& dir) {
    std::size_t n = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::end(it);
         it.increment(ec))
      ++n;
    return n;
  }

  void Mount() {
    drives::UnmountAll();
    DriveConfig config;
    config.letter = 'c';
    config.hostPath = c;
    config.readOnly = true;
    std::string error;
    if (!drives::Mount(config, &error)) Violation("mount", error);
    config.letter = 'w';
    config.hostPath = w;
    config.readOnly = false;
    if (!drives::Mount(config, &error)) Violation("mount", error);
  }

  void ResetWritable() {
    for (auto& e : fs::directory_iterator(w)) {
      std::string name = e.path().filename();
      if (name != "out" && name != "abs") fs::remove_all(e.path());
    }
    creations = 0;
  }

  void CheckUntouched() {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(outside)) ++n;
    if (n != 1 || fixture::ReadFile(outside + "/secret") != "secret")
      Violation("outside changed", outside);
    if (Count(c) != cEntries) Violation("read-only drive changed", c);
  }
};

World& TheWorld() {
  static World world;
  return world;
}

void CheckFolder(const Folder& folder) {
  std::string path = folder.HostPath();
  if (path != folder.hostRoot && path.rfind(folder.hostRoot + "/", 0) != 0)
    Violation("outside the root", path);
  std::error_code ec;
  if (fs::canonical(path, ec) != fs::path(path)) Violation("a link on the way", path);
  for (const auto& host : folder.hostNames)
    if (host.empty() || host == "." || host == ".." || host.find('/') != std::string::npos)
      Violation("bad host name", host);
}

void CheckDeliveredName(const std::string& name) {
  if (name == "." || name == "..") return;
  auto utf8 = Cp932ToUtf8(name);
  std::u32string cps;
  if (!utf8 || !DecodeUtf8(*utf8, cps) || !IsValidWindowsName(cps))
    Violation("undeliverable name", name);
}

void CheckNames(std::string_view data) {
  std::vector<std::string> hosts;
  std::set<std::string> unique;
  std::size_t start = 0;
  while (start <= data.size()) {
    std::size_t end = data.find('\0', start);
    if (end == std::string_view::npos) end = data.size();
    std::string name(data.substr(start, end - start));
    if (!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
        unique.insert(name).second)
      hosts.push_back(name);
    start = end + 1;
  }
  auto named = NameFolder(hosts);
  if (named.size() != hosts.size()) Violation("names lost", "");
  // Host names may differ in letter case alone and are then both delivered as they stand; what
  // must never happen is two entries under the same delivered bytes.
  std::set<std::string> delivered;
  for (const auto& e : named) {
    CheckDeliveredName(e.name.Bytes());
    if (!delivered.insert(e.name.Bytes()).second)
      Violation("duplicate delivered name", e.name.Bytes());
    for (unsigned char ch : e.name.Bytes())
      if (e.alias && ch >= 0x80) Violation("alias not ASCII", e.name.Bytes());
  }
}

// Conversions never crash, and what converts one way converts back unchanged; date texts of any
// pattern and any packed time either render or raise EConvertError.
void CheckText(const std::string& bytes) {
  if (auto utf8 = Cp932ToUtf8(bytes)) {
    auto back = Utf8ToCp932(*utf8);
    if (!back || Cp932ToUtf8(*back) != utf8) Violation("round trip", bytes);
  }
  if (auto cp932 = Utf8ToCp932(bytes)) {
    if (!Cp932ToUtf8(*cp932)) Violation("no way back", bytes);
  }
  (void)AnsiString(bytes).ToDisplayUtf8();
  int packed = 0;
  for (std::size_t i = 0; i < bytes.size() && i < 4; ++i)
    packed =
        static_cast<int>(static_cast<unsigned>(packed) << 8 | static_cast<unsigned char>(bytes[i]));
  try {
    TDateTime value = FileDateToDateTime(packed);
    (void)FormatDateTimePattern(AnsiString(bytes), value);
    ShortDateFormat = AnsiString(bytes);
    (void)DateTimeToStr(value);
    ShortDateFormat = "yy/mm/dd";
  } catch (const EConvertError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  World& world = TheWorld();
  world.Mount();
  const int op = data[0] % 9;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  // A path without a drive works on the current one, which is w:\ or c:\WINDOWS.
  rtl::chdir(op % 2 ? "w:\\" : "c:\\WINDOWS");
  AnsiString path(bytes);
  switch (op) {
    case 0: {
      Folder folder;
      if (ResolveFolder(path, folder)) CheckFolder(folder);
      break;
    }
    case 1: {
      Folder folder;
      std::string last;
      if (ResolveParent(path, folder, last)) {
        CheckFolder(folder);
        NamedEntry found;
        std::string name = TrimName(last);
        if (!name.empty() && name != "." && name != ".." && LookupName(folder, name, found)) {
          if (found.host.find('/') != std::string::npos || found.host == "." || found.host == "..")
            Violation("bad entry", found.host);
          CheckDeliveredName(found.name.Bytes());
        }
      }
      break;
    }
    case 2: {
      if (auto id = drives::IdentityOf(path))
        if (world.outsideIds.count({id->device, id->inode})) Violation("identity outside", bytes);
      break;
    }
    case 3: {
      TSearchRec rec;
      for (int r = FindFirst(path, faAnyFile, rec); r == 0; r = FindNext(rec)) {
        CheckDeliveredName(rec.Name.Bytes());
        if (world.outsideIds.count({rec.HostDevice, rec.HostInode}) && rec.Name != AnsiString(".."))
          Violation("listed outside", rec.Name.Bytes());
      }
      FindClose(rec);
      break;
    }
    case 4:
      if (rtl::chdir(path) == 0) {
        Folder folder;
        if (!ResolveFolder(drives::GetCurrentDir(), folder)) Violation("current dir lost", bytes);
        CheckFolder(folder);
      }
      break;
    case 5:
      if (rtl::mkdir(path) == 0) ++world.creations;
      break;
    case 6:
      if (rtl::File* f = rtl::fopen(path, "wt")) {
        ++world.creations;
        rtl::fprintf(f, "%s\n", bytes.c_str());
        rtl::fclose(f);
      }
      break;
    case 7:
      CheckNames(bytes);
      break;
    default:
      CheckText(bytes);
      break;
  }
  world.CheckUntouched();
  if (world.creations > 200) world.ResetWritable();
  return 0;
}
