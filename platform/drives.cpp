// The drive table, current directories and the resolution of Windows paths inside a drive's
// folder. Every step is an openat with O_NOFOLLOW from the drive's root or from the remembered
// directory (held open, itself reached that way), so neither a link nor ".." can lead out of
// the folder.
#include "platform/drives.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/internal.h"

namespace layer_internal {

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

std::string Folder::HostPath() const {
  std::string path = hostRoot;
  for (const auto& name : hostNames) {
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
  }
  return path;
}

namespace {

struct Drive {
  DriveInfo info;
  DirRef root;
  std::vector<std::string> curHost;  // remembered directory, host names from the root
  std::vector<AnsiString> curNames;  // and the names delivered for them
  DirRef curFd, curParent;           // and the folder and its parent, held open
  // The folders of the last rooted walk, held open with their identity: a rooted walk that
  // names them again checks each with one fstatat instead of opening it again.
  struct Step {
    std::string host;  // a plain ASCII name, delivered as it is
    DirRef fd;
    dev_t dev = 0;
    ino_t ino = 0;
  };
  std::vector<Step> chain;
};

constexpr std::size_t kChainDepth = 32;  // bounds the fds held per drive

struct Table {
  std::array<std::optional<Drive>, 26> drives;
  char current = 0;
};

Table& Drives() {
  static Table table;
  return table;
}

int Index(char letter) {
  if (letter >= 'a' && letter <= 'z') return letter - 'a';
  if (letter >= 'A' && letter <= 'Z') return letter - 'A';
  return -1;
}

Drive* DriveOf(char letter) {
  int i = Index(letter);
  if (i < 0) return nullptr;
  auto& slot = Drives().drives[static_cast<std::size_t>(i)];
  return slot ? &*slot : nullptr;
}

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

struct ParsedPath {
  char letter = 0;
  bool rooted = false;
  std::vector<std::string> names;
  bool endsWithSeparator = false;
};

bool Parse(std::string_view path, ParsedPath& out) {
  if (path.empty()) {  // names nothing, as on Windows
    errno = ENOENT;
    return false;
  }
  std::size_t i = 0;
  if (path.size() >= 2 && path[1] == ':') {
    if (Index(path[0]) < 0) {
      errno = EINVAL;
      return false;
    }
    out.letter = static_cast<char>(path[0] | 0x20);
    i = 2;
  } else {
    out.letter = Drives().current;
  }
  if (out.letter == 0) {  // rooted or relative with no current drive
    errno = ENOENT;
    return false;
  }
  out.rooted = i < path.size() && (path[i] == '\\' || path[i] == '/');
  std::string name;
  bool lastWasSep = false;
  while (i < path.size()) {
    unsigned char b = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(b) && i + 1 < path.size()) {  // a trail byte may be 0x5C: not a separator
      name.append(path, i, 2);
      i += 2;
      lastWasSep = false;
      continue;
    }
    if (b == '\\' || b == '/') {
      if (!name.empty()) out.names.push_back(std::move(name));
      name.clear();
      lastWasSep = true;
    } else {
      name += static_cast<char>(b);
      lastWasSep = false;
    }
    ++i;
  }
  if (!name.empty()) out.names.push_back(std::move(name));
  out.endsWithSeparator = lastWasSep;
  return true;
}

// Opens the folder host in at; a link there is ELOOP, anything else that is no folder ENOTDIR.
int OpenDir(int at, const std::string& host) {
  // O_NOFOLLOW with O_DIRECTORY refuses a link as it refuses a file: one call on the way that
  // succeeds, a second only to tell the two apart. Opened for reading where that is allowed,
  // so that listing the folder needs no second open; else O_PATH, which passing through needs.
  int fd = openat(at, host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == EACCES)
    fd = openat(at, host.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 || (errno != ENOTDIR && errno != ELOOP)) return fd;
  struct stat st;
  if (fstatat(at, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
  errno = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
  return -1;
}

// Opens the folder of the given host names below the root, with its parent.
bool OpenChain(const DirRef& root, const std::vector<std::string>& hosts, DirRef& fd,
               DirRef& parent) {
  DirRef cur = root, prev = root;
  for (const auto& host : hosts) {
    Fd next(OpenDir(cur.get(), host));
    if (!next.valid()) return false;
    prev = std::move(cur);
    cur = DirRef(std::move(next));
  }
  fd = std::move(cur);
  parent = std::move(prev);
  return true;
}

// Whether the remembered directory's fd still reaches a folder of the drive: one that was
// removed (and perhaps made again) is walked to again by its names.
bool CurrentHeld(const Drive& drive, Folder& out) {
  if (!drive.curFd.valid()) return false;
  if (drive.curHost.empty()) return true;  // the root
  out.haveFdStat = fstat(drive.curFd.get(), &out.fdStat) == 0;
  return out.haveFdStat && out.fdStat.st_nlink > 0;
}

// Opens the folder that name (trimmed, not "." or "..") names in out.
bool OpenEntry(const Folder& out, const std::string& name, NamedEntry& found, Fd& next) {
  if (IsPlainAsciiName(name)) {
    // The exact name is the one that counts first; open it straight away.
    next = Fd(OpenDir(out.fd.get(), name));
    if (next.valid()) {
      found.host = name;
      found.name = AnsiString(name);
      found.alias = false;
      return true;
    }
    if (errno != ENOENT) return false;
  }
  if (!LookupName(out, name, found)) return false;
  next = Fd(OpenDir(out.fd.get(), found.host));
  return next.valid();
}

// Walks names (all of them) from the start folder of parsed into out.
bool Walk(const ParsedPath& parsed, const std::vector<std::string>& names, Folder& out) {
  Drive* drive = DriveOf(parsed.letter);
  if (!drive) {
    errno = ENOENT;
    return false;
  }
  out.letter = drive->info.letter;
  out.readOnly = drive->info.readOnly;
  out.hostRoot = drive->info.hostRoot;
  out.hostNames.clear();
  out.names.clear();
  out.haveFdStat = out.haveParentStat = false;
  bool onChain = parsed.rooted;
  std::size_t depth = 0;  // folders of drive->chain taken so far
  auto& chain = drive->chain;
  if (parsed.rooted) {
    out.fd = drive->root;
    out.parent = drive->root;
  } else {
    out.hostNames = drive->curHost;
    out.names = drive->curNames;
    if (CurrentHeld(*drive, out)) {
      out.fd = drive->curFd;
      out.parent = drive->curParent;
    } else {
      out.haveFdStat = false;
      if (!OpenChain(drive->root, out.hostNames, out.fd, out.parent)) return false;
      drive->curFd = out.fd;
      drive->curParent = out.parent;
    }
  }
  for (const auto& raw : names) {
    std::string name = TrimName(raw);
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (out.hostNames.empty()) continue;  // ".." stops at the root
      out.hostNames.pop_back();
      out.names.pop_back();
      out.haveFdStat = out.haveParentStat = false;
      onChain = false;
      // Applied to the names, as Windows does: walked again from the root.
      if (!OpenChain(drive->root, out.hostNames, out.fd, out.parent)) return false;
      continue;
    }
    if (onChain && depth < chain.size() && chain[depth].host == name) {
      // Still the folder of that name in the same parent: what opening it would give.
      const auto& step = chain[depth];
      struct stat st;
      if (fstatat(out.fd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISDIR(st.st_mode) && st.st_dev == step.dev && st.st_ino == step.ino) {
        out.parent = std::move(out.fd);
        out.fd = step.fd;
        out.parentStat = out.fdStat;
        out.haveParentStat = out.haveFdStat;
        out.fdStat = st;
        out.haveFdStat = true;
        out.hostNames.push_back(name);
        out.names.push_back(AnsiString(name));
        ++depth;
        continue;
      }
    }
    if (onChain) chain.resize(depth);  // from here on the walk goes elsewhere
    NamedEntry found;
    Fd next;
    if (!OpenEntry(out, name, found, next)) return false;
    out.parent = std::move(out.fd);
    out.fd = DirRef(std::move(next));
    out.parentStat = out.fdStat;
    out.haveParentStat = out.haveFdStat;
    out.haveFdStat = false;
    out.hostNames.push_back(found.host);
    out.names.push_back(found.name);
    // Only a name that is its own host name and wins as the exact name can be checked again
    // by the host name alone; an alias or a match ignoring case may change with the folder.
    if (onChain && depth < kChainDepth && !found.alias && found.host == name &&
        IsPlainAsciiName(name) && fstat(out.fd.get(), &out.fdStat) == 0) {
      out.haveFdStat = true;
      chain.push_back({name, out.fd, out.fdStat.st_dev, out.fdStat.st_ino});
      ++depth;
    } else {
      onChain = false;
    }
  }
  return true;
}

}  // namespace

bool ResolveFolder(const AnsiString& path, Folder& out) {
  ParsedPath parsed;
  if (!Parse(path.Bytes(), parsed)) return false;
  return Walk(parsed, parsed.names, out);
}

bool ResolveParent(const AnsiString& path, Folder& out, std::string& last) {
  ParsedPath parsed;
  if (!Parse(path.Bytes(), parsed)) return false;
  last.clear();
  std::vector<std::string> names = parsed.names;
  if (!parsed.endsWithSeparator && !names.empty()) {
    last = names.back();
    names.pop_back();
  }
  return Walk(parsed, names, out);
}

bool LookupName(const Folder& folder, std::string_view name, NamedEntry& found) {
  const struct stat* known = folder.haveFdStat ? &folder.fdStat : nullptr;
  // A kept listing answers for the exact name as well; else one fstatat finds it.
  const FolderListing* entries = CachedFolderNames(folder.fd.get(), known);
  auto utf8 = entries                  ? std::nullopt
              : IsPlainAsciiName(name) ? std::optional<std::string>(name)
                                       : Cp932ToUtf8(name);
  if (utf8) {
    AnsiString delivered;
    struct stat st;
    if (DeliverUnchanged(*utf8, delivered) && delivered.Bytes() == name &&
        fstatat(folder.fd.get(), utf8->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      found.host = *utf8;
      found.name = delivered;
      found.alias = false;
      return true;
    }
  }
  FolderListing scratch;
  if (!entries) entries = FolderNames(folder.fd.get(), scratch, known);
  if (!entries) return false;
  // The exact name has the same key as every name that matches it ignoring case, and the
  // listing is ordered by key: the candidates are one run of it.
  std::u16string key, exact;
  NameKeys(name, key, exact);
  auto [first, last] = entries->equal_range(key);
  for (auto it = first; it != last; ++it) {
    if (it->name.Bytes() == name) {
      found = *it;
      return true;
    }
  }
  if (first != last) {
    found = *first;
    return true;
  }
  errno = ENOENT;
  return false;
}

void SetCurrent(const Folder& folder) {
  Drive* drive = DriveOf(folder.letter);
  if (!drive) return;
  drive->curHost = folder.hostNames;
  drive->curNames = folder.names;
  drive->curFd = folder.fd;
  drive->curParent = folder.parent;
  Drives().current = drive->info.letter;
}

struct DriveTableSnapshot {
  Table table;
};

DriveTableSnapshot* SaveDrives() { return new DriveTableSnapshot{Drives()}; }

void RestoreDrives(DriveTableSnapshot* snapshot) {
  Drives() = snapshot->table;
  delete snapshot;
}

void FreeSnapshot(DriveTableSnapshot* snapshot) { delete snapshot; }

}  // namespace layer_internal

namespace drives {

using namespace layer_internal;

bool Mount(const DriveConfig& config, std::string* error) {
  auto fail = [error](std::string message) {
    if (error) *error = std::move(message);
    return false;
  };
  int index = Index(config.letter);
  if (index < 0)
    return fail(std::string("drive letter '") + config.letter + "' is not a letter a to z");
  char letter = static_cast<char>('a' + index);
  auto& table = Drives();
  if (table.drives[static_cast<std::size_t>(index)])
    return fail(std::string("drive ") + letter + ": is given twice; give each letter once");
  char buf[PATH_MAX];
  if (!realpath(config.hostPath.c_str(), buf))
    return fail("folder " + config.hostPath + " does not exist; give an existing folder");
  std::string root = buf;
  // For reading where allowed, so that the root is listed without opening it again.
  Fd rootFd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!rootFd.valid() && errno == EACCES)
    rootFd = Fd(open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!rootFd.valid()) return fail(config.hostPath + " is not a folder; give an existing folder");
  DriveInfo info;
  info.letter = letter;
  info.kind = config.kind.value_or(letter <= 'b' ? DriveKind::Removable : DriveKind::Fixed);
  info.hostRoot = root;
  info.readOnly = config.readOnly;
  std::string label;
  if (config.label) {
    label = *config.label;
    auto bytes = Utf8ToCp932(label);
    if (!bytes) return fail("volume name " + label + " cannot be written in code page 932");
    info.volumeName = AnsiString(std::move(*bytes));
  } else {
    std::size_t slash = root.rfind('/');
    label = slash == std::string::npos ? root : root.substr(slash + 1);
    AnsiString delivered;
    if (DeliverUnchanged(label, delivered)) info.volumeName = delivered;
  }
  Drive drive;
  drive.info = info;
  drive.root = DirRef(std::move(rootFd));
  drive.curFd = drive.root;
  drive.curParent = drive.root;
  table.drives[static_cast<std::size_t>(index)] = std::move(drive);
  return true;
}

void UnmountAll() { Drives() = Table{}; }

std::optional<DriveInfo> Find(char letter) {
  Drive* drive = DriveOf(letter);
  if (!drive) return std::nullopt;
  return drive->info;
}

std::vector<DriveInfo> List() {
  std::vector<DriveInfo> out;
  for (auto& slot : Drives().drives)
    if (slot) out.push_back(slot->info);
  return out;
}

char CurrentDrive() { return Drives().current; }

AnsiString RememberedDir(char letter) {
  Drive* drive = DriveOf(letter);
  if (!drive) return AnsiString();
  std::string text;
  text += static_cast<char>(drive->info.letter - 'a' + 'A');
  text += ":\\";
  for (std::size_t i = 0; i < drive->curNames.size(); ++i) {
    if (i > 0) text += '\\';
    text += drive->curNames[i].Bytes();
  }
  return AnsiString(std::move(text));
}

AnsiString GetCurrentDir() {
  char current = Drives().current;
  return current ? RememberedDir(current) : AnsiString();
}

bool SetStartDirectory(const AnsiString& windowsPath, std::string* error) {
  Folder folder;
  if (!ResolveFolder(windowsPath, folder)) {
    if (error)
      *error = "--cd " + windowsPath.ToDisplayUtf8() +
               ": no such folder on the drives; give a folder such as c:\\ or c:\\WINDOWS";
    return false;
  }
  SetCurrent(folder);
  return true;
}

void SetStartDirectoryFromHost() {
  auto& table = Drives();
  table.current = 0;
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return;
  char real[PATH_MAX];
  if (!realpath(buf, real)) return;
  std::string cwd = real;
  Drive* best = nullptr;
  for (auto& slot : table.drives) {
    if (!slot) continue;
    const std::string& root = slot->info.hostRoot;
    bool inside =
        cwd == root || (cwd.size() > root.size() && cwd.compare(0, root.size(), root) == 0 &&
                        (root == "/" || cwd[root.size()] == '/'));
    if (inside && (!best || root.size() > best->info.hostRoot.size())) best = &*slot;
  }
  if (!best) return;
  const std::string& root = best->info.hostRoot;
  std::string rest = cwd.substr(root.size());
  Folder folder;
  folder.letter = best->info.letter;
  folder.fd = best->root;
  folder.parent = best->root;
  std::size_t pos = 0;
  while (folder.fd.valid() && pos < rest.size()) {
    std::size_t next = rest.find('/', pos);
    if (next == std::string::npos) next = rest.size();
    std::string host = rest.substr(pos, next - pos);
    pos = next + 1;
    if (host.empty()) continue;
    AnsiString name;
    if (!DeliverUnchanged(host, name)) {
      std::vector<std::string> hosts;
      if (!ReadHostNames(folder.fd.get(), hosts)) break;
      for (auto& e : NameFolder(std::move(hosts)))
        if (e.host == host) name = e.name;
    }
    Fd sub(OpenDir(folder.fd.get(), host));
    if (!sub.valid() || name.IsEmpty()) break;  // stay in the deepest folder reached
    folder.parent = std::move(folder.fd);
    folder.fd = DirRef(std::move(sub));
    folder.hostNames.push_back(host);
    folder.names.push_back(name);
  }
  SetCurrent(folder);
}

std::optional<HostIdentity> IdentityOf(const AnsiString& windowsPath) {
  Folder folder;
  std::string last;
  if (!ResolveParent(windowsPath, folder, last)) return std::nullopt;
  std::string name = TrimName(last);
  struct stat st;
  if (name.empty() || name == ".") {
    if (fstat(folder.fd.get(), &st) != 0) return std::nullopt;
  } else if (name == "..") {
    if (fstat(folder.parent.get(), &st) != 0) return std::nullopt;
  } else {
    NamedEntry found;
    if (!LookupName(folder, name, found)) return std::nullopt;
    if (fstatat(folder.fd.get(), found.host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return std::nullopt;
  }
  return HostIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace drives
