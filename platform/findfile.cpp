// Directory search: the whole folder is read at FindFirst, named, ordered and filtered, so the
// order is the same on every run and nothing is followed or opened but the folder itself.
#include "platform/findfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "platform/internal.h"

using namespace layer_internal;

struct SearchHandle {
  std::vector<TSearchRec> entries;
  int excluded = 0;
  std::size_t next = 0;
};

namespace layer_internal {

bool useGetxattrat = true;
bool useCwdForXattr = true;

int PackDosTime(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  int year, month, day, hour, min, sec;
  if (!localtime_r(&t, &tm)) {
    // Beyond what the C library can break down: clamp by the sign.
    if (seconds < 0)
      year = 1980, month = 1, day = 1, hour = 0, min = 0, sec = 0;
    else
      year = 2107, month = 12, day = 31, hour = 23, min = 59, sec = 58;
  } else {
    year = tm.tm_year + 1900, month = tm.tm_mon + 1, day = tm.tm_mday;
    hour = tm.tm_hour, min = tm.tm_min, sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  }
  if (year < 1980) year = 1980, month = 1, day = 1, hour = 0, min = 0, sec = 0;
  if (year > 2107) year = 2107, month = 12, day = 31, hour = 23, min = 59, sec = 58;
  auto packed = static_cast<std::uint32_t>(year - 1980) << 25 |
                static_cast<std::uint32_t>(month) << 21 | static_cast<std::uint32_t>(day) << 16 |
                static_cast<std::uint32_t>(hour) << 11 | static_cast<std::uint32_t>(min) << 5 |
                static_cast<std::uint32_t>(sec / 2);
  return static_cast<int>(packed);
}

}  // namespace layer_internal

namespace {

// user.DOSATTRIB of the entries of one folder listing, never following a link at an entry:
// getxattrat where the kernel has it (6.13 and later); else lgetxattr of the bare name with the
// folder made the host's current directory for the listing (the layer itself never uses the
// host's current directory, and it is given back when the listing is done); else through the
// folder's fd in /proc. Each of them stays inside the open folder.
class DosAttribReader {
 public:
  explicit DosAttribReader(int dirFd) : dirFd_(dirFd) {}
  ~DosAttribReader() {
    if (savedCwd_ < 0) return;
    [[maybe_unused]] int restored = fchdir(savedCwd_);
    close(savedCwd_);
  }
  DosAttribReader(const DosAttribReader&) = delete;
  DosAttribReader& operator=(const DosAttribReader&) = delete;

  // The raw value, or -1 with errno (ENODATA when there is none).
  ssize_t Read(const std::string& host, char* value, std::size_t size) {
    if (unsupported_) {  // the file system holds no user attributes: no call per entry
      errno = ENOTSUP;
      return -1;
    }
    ssize_t n = ReadOnce(host, value, size);
    if (n < 0 && errno == ENOTSUP) unsupported_ = true;
    return n;
  }

 private:
  ssize_t ReadOnce(const std::string& host, char* value, std::size_t size) {
#if !defined(__NR_getxattrat) && (defined(__x86_64__) || defined(__aarch64__))
#define __NR_getxattrat 464  // the same on every architecture; older headers lack it
#endif
#ifdef __NR_getxattrat
    if (useGetxattrat) {
      struct {
        std::uint64_t value;
        std::uint32_t size;
        std::uint32_t flags;
      } args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0};
      long n = syscall(__NR_getxattrat, dirFd_, host.c_str(), AT_SYMLINK_NOFOLLOW, "user.DOSATTRIB",
                       &args, sizeof args);
      // ENOSYS from an older kernel, EPERM from a sandbox that does not know the call.
      if (n >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<ssize_t>(n);
      useGetxattrat = false;
    }
#endif
    if (useCwdForXattr && !triedCwd_) {
      triedCwd_ = true;
      savedCwd_ = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (savedCwd_ >= 0 && fchdir(dirFd_) != 0) {
        close(savedCwd_);
        savedCwd_ = -1;
      }
    }
    if (useCwdForXattr && savedCwd_ >= 0)
      return lgetxattr(host.c_str(), "user.DOSATTRIB", value, size);
    if (procPrefix_.empty()) procPrefix_ = "/proc/self/fd/" + std::to_string(dirFd_) + "/";
    procPath_.assign(procPrefix_).append(host);
    return lgetxattr(procPath_.c_str(), "user.DOSATTRIB", value, size);
  }

  int dirFd_;
  int savedCwd_ = -1;
  bool triedCwd_ = false;
  bool unsupported_ = false;
  std::string procPrefix_, procPath_;
};

// Bits 1, 2, 4 and 32 of user.DOSATTRIB when it holds "0x" and one to eight hex digits, with at
// most a trailing NUL; 0 for anything else.
int DosAttrib(DosAttribReader& reader, const std::string& host) {
  char value[32];
  ssize_t n = reader.Read(host, value, sizeof value);
  if (n <= 0) return 0;
  std::string_view v(value, static_cast<std::size_t>(n));
  if (v.back() == '\0') v.remove_suffix(1);
  if (v.size() < 3 || v.size() > 10 || v[0] != '0' || (v[1] != 'x' && v[1] != 'X')) return 0;
  unsigned bits = 0;
  for (char c : v.substr(2)) {
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      return 0;
    bits = bits << 4 | digit;
  }
  return static_cast<int>(bits & (faReadOnly | faHidden | faSysFile | faArchive));
}

TSearchRec DotEntry(const char* name, const struct stat& st) {
  TSearchRec rec;
  rec.Name = name;
  rec.Attr = faDirectory;
  rec.Time = PackDosTime(st.st_mtime);
  rec.HostDevice = st.st_dev;
  rec.HostInode = st.st_ino;
  return rec;
}

bool MatchFrom(const std::u32string& p, std::size_t pi, const std::u32string& n, std::size_t ni) {
  // Iterative matching with one backtrack point for the last '*'.
  std::size_t starP = std::u32string::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starN = ni;
    } else if (starP != std::u32string::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

std::u32string Upper(std::u32string s) {
  for (auto& c : s) c = SimpleUpper(c);
  return s;
}

// Windows matching: case ignored, and a pattern ending in ".*" also takes names without a dot,
// so "*.*" lists every name.
bool WildMatch(const std::u32string& pattern, const std::u32string& name) {
  if (MatchFrom(pattern, 0, name, 0)) return true;
  std::size_t n = pattern.size();
  if (n >= 2 && pattern[n - 2] == '.' && pattern[n - 1] == '*')
    return MatchFrom(pattern.substr(0, n - 2), 0, name, 0);
  return false;
}

}  // namespace

int FindFirst(const AnsiString& pattern, int attr, TSearchRec& rec) {
  FindClose(rec);  // a record holds one listing at a time
  Folder folder;
  std::string last;
  if (!ResolveParent(pattern, folder, last)) return 3;  // path not found
  bool wild = HasWildcards(last);
  std::string name = wild ? last : TrimName(last);
  if (name.empty()) return 2;

  std::vector<std::string> hosts;
  if (!ReadHostNames(folder.fd.get(), hosts)) return 5;  // the folder cannot be read
  auto named = NameFolder(std::move(hosts));

  std::vector<TSearchRec> all;
  all.reserve(named.size() + 2);
  if (!folder.IsRoot()) {
    struct stat self = folder.fdStat, parent = folder.parentStat;
    if ((!folder.haveFdStat && fstat(folder.fd.get(), &self) != 0) ||
        (!folder.haveParentStat && fstat(folder.parent.get(), &parent) != 0))
      return 5;
    all.push_back(DotEntry(".", self));
    all.push_back(DotEntry("..", parent));
  }
  DosAttribReader attribs(folder.fd.get());
  for (auto& e : named) {
    struct stat st;
    if (fstatat(folder.fd.get(), e.host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
    TSearchRec r;
    r.Name = e.name;
    if (S_ISLNK(st.st_mode)) {
      r.Attr = faReparsePoint | faArchive;
    } else {
      r.Attr = S_ISDIR(st.st_mode) ? faDirectory : faArchive;
      if (S_ISREG(st.st_mode)) r.FullSize = st.st_size;
      if ((st.st_mode & 0222) == 0) r.Attr |= faReadOnly;
      r.Attr |= DosAttrib(attribs, e.host);
    }
    if (e.host[0] == '.') r.Attr |= faHidden;
    r.Size = static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(r.FullSize)));
    r.Time = PackDosTime(st.st_mtime);
    r.HostDevice = st.st_dev;
    r.HostInode = st.st_ino;
    all.push_back(std::move(r));
  }

  auto handle = new SearchHandle;
  const int excluded = (faHidden | faSysFile | faDirectory | faVolumeID) & ~attr;
  handle->excluded = excluded;
  auto keep = [excluded](const TSearchRec& r) { return (r.Attr & excluded) == 0; };
  if (wild) {
    if (name == "*" || name == "*.*") {  // what a listing asks for: no copy of the entries
      std::erase_if(all, [&keep](const TSearchRec& r) { return !keep(r); });
      handle->entries = std::move(all);
    } else {
      std::u32string p = Upper(DecodeCp932Lenient(name));
      for (auto& r : all)
        if (keep(r) && WildMatch(p, Upper(DecodeCp932Lenient(r.Name.Bytes()))))
          handle->entries.push_back(std::move(r));
    }
  } else {
    // The one entry that the name reaches when it is resolved: exact, else ignoring case.
    const TSearchRec* pick = nullptr;
    for (auto& r : all)
      if (r.Name.Bytes() == name) {
        pick = &r;
        break;
      }
    if (!pick) {
      std::u16string key = UpperKey(DecodeCp932Lenient(name));
      for (auto& r : all)
        if (UpperKey(DecodeCp932Lenient(r.Name.Bytes())) == key) {
          pick = &r;
          break;
        }
    }
    if (pick && keep(*pick)) handle->entries.push_back(*pick);
  }
  if (handle->entries.empty()) {
    delete handle;
    return 2;  // no such file
  }
  rec.FindHandle = handle;
  return FindNext(rec);
}

int FindNext(TSearchRec& rec) {
  SearchHandle* handle = rec.FindHandle;
  if (!handle || handle->next >= handle->entries.size()) return 18;  // no more files
  TSearchRec& e = handle->entries[handle->next++];
  rec.Time = e.Time;
  rec.Size = e.Size;
  rec.Attr = e.Attr;
  rec.Name = e.Name;
  rec.ExcludeAttr = handle->excluded;
  rec.FullSize = e.FullSize;
  rec.HostDevice = e.HostDevice;
  rec.HostInode = e.HostInode;
  return 0;
}

void FindClose(TSearchRec& rec) {
  delete rec.FindHandle;
  rec.FindHandle = nullptr;
}
