// Pieces shared by the layer's own sources; not for the program or the engine.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"
#include "platform/drives.h"

namespace layer_internal {

// --- text ---------------------------------------------------------------------------------
// Strict UTF-8 decoding (no overlongs, surrogates or values above U+10FFFF).
bool DecodeUtf8(std::string_view utf8, std::u32string& out);
// CP932 to code points; bytes that are not CP932 become U+DC80 + byte, so they match nothing.
std::u32string DecodeCp932Lenient(std::string_view cp932);
// The single-character upper-case mapping for the scripts CP932 can hold.
char32_t SimpleUpper(char32_t c);
// Upper-cased UTF-16 code units, the key folders are ordered and matched by.
std::u16string UpperKey(const std::u32string& text);
std::u16string Utf16(const std::u32string& text);

// A valid Windows long name: none of \ / : * ? " < > |, no control character 1..31, not empty,
// not ending in a blank or a dot.
bool IsValidWindowsName(const std::u32string& name);
// A control character 1..31 or one of \ / : * ? " < > |.
bool IsForbiddenInName(char32_t c);
// Drops trailing dots and blanks, as Windows does to the names of a path ("." and ".." stay).
std::string TrimName(std::string_view cp932);
bool HasWildcards(std::string_view cp932);

// --- one folder's names ------------------------------------------------------------------------
struct NamedEntry {
  std::string host;  // the name on the host, raw bytes
  AnsiString name;   // the name the layer delivers (CP932, or an ASCII alias)
  bool alias = false;
  std::u16string key;    // UpperKey of the delivered name
  std::u16string exact;  // UTF-16 of the delivered name
};

// The delivered name of a host name when it needs no alias (valid UTF-8, round trip through
// CP932 unchanged, a valid Windows name); false otherwise.
bool DeliverUnchanged(std::string_view host, AnsiString& delivered);
// A name of printable ASCII only that is a valid Windows name: delivered as it is.
bool IsPlainAsciiName(std::string_view name);
// The listing key (UpperKey) and the UTF-16 of a delivered name.
void NameKeys(std::string_view delivered, std::u16string& key, std::u16string& exact);
// Gives every host name its delivered name (aliases where needed) and sorts them in the
// folder's listing order.
std::vector<NamedEntry> NameFolder(std::vector<std::string> hostNames);
// Listing order: upper-cased names by UTF-16 code units, then the exact names, then the raw host
// names. A key alone finds the run of names that match it ignoring case.
struct EntryOrder {
  using is_transparent = void;
  bool operator()(const NamedEntry& a, const NamedEntry& b) const {
    if (a.key != b.key) return a.key < b.key;
    if (a.exact != b.exact) return a.exact < b.exact;
    return a.host < b.host;
  }
  bool operator()(const NamedEntry& a, const std::u16string& key) const { return a.key < key; }
  bool operator()(const std::u16string& key, const NamedEntry& b) const { return key < b.key; }
};
using FolderListing = std::set<NamedEntry, EntryOrder>;

// The named entries of the folder behind fd: from a cache that inotify keeps current, or listed
// into scratch. nullptr with errno when the folder cannot be read. known is the folder's status
// when the caller has just taken it.
const FolderListing* FolderNames(int fd, FolderListing& scratch,
                                 const struct stat* known = nullptr);
// The kept listing of the folder behind fd when there is one and it is current; nullptr
// otherwise, without listing anything.
const FolderListing* CachedFolderNames(int fd, const struct stat* known = nullptr);
// Whether FolderNames may keep listings (tests clear it to compare both ways).
extern bool useFolderCache;
// Reads the names of the folder behind fd (an O_PATH or directory fd); false with errno.
bool ReadHostNames(int fd, std::vector<std::string>& names);

// --- drives and paths --------------------------------------------------------------------------
// An owned file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd();
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A folder's fd shared between the drive table and the folders resolved from it, so that
// starting at a drive's root or remembered directory opens nothing.
class DirRef {
 public:
  DirRef() = default;
  explicit DirRef(Fd fd) : fd_(std::make_shared<Fd>(std::move(fd))) {}
  int get() const { return fd_ ? fd_->get() : -1; }
  bool valid() const { return get() >= 0; }

 private:
  std::shared_ptr<Fd> fd_;
};

// A folder reached inside a drive: the folder's own fd and its parent's (the root's parent is
// the root), with the host names and delivered names from the root down.
struct Folder {
  char letter = 0;
  bool readOnly = false;
  std::string hostRoot;
  DirRef fd;
  DirRef parent;
  // Their status when the walk just took it (it had to, to know the folder): a listing need not
  // ask again.
  struct stat fdStat {
  }, parentStat{};
  bool haveFdStat = false, haveParentStat = false;
  std::vector<std::string> hostNames;
  std::vector<AnsiString> names;
  bool IsRoot() const { return hostNames.empty(); }
  std::string HostPath() const;
};

// Resolves every name of path as a folder. false with errno set (ENOENT, ENOTDIR, ELOOP,
// EINVAL for a path on no drive).
bool ResolveFolder(const AnsiString& path, Folder& out);
// Resolves all but the last name of path as a folder and gives the last name (trailing dots
// and blanks not yet dropped). last is empty when the path ends in a separator or names a
// drive alone.
bool ResolveParent(const AnsiString& path, Folder& out, std::string& last);

// Finds the entry a (trimmed) name names in folder: the exact delivered name, else the first
// that matches ignoring case in listing order. false with errno ENOENT when there is none.
bool LookupName(const Folder& folder, std::string_view name, NamedEntry& found);

// Sets the process's current drive and that drive's remembered directory.
void SetCurrent(const Folder& folder);

// The drive table, saved and restored whole so that option parsing can undo its changes.
struct DriveTableSnapshot;
DriveTableSnapshot* SaveDrives();
void RestoreDrives(DriveTableSnapshot* snapshot);  // also frees it
void FreeSnapshot(DriveTableSnapshot* snapshot);

// Whether user.DOSATTRIB is read with getxattrat; cleared when the kernel lacks the call, and by
// tests to exercise the other ways.
extern bool useGetxattrat;
// Without getxattrat: whether the folder is made the host's current directory for a listing
// (cleared by tests to exercise the path through /proc, the way left when that fails).
extern bool useCwdForXattr;

// --- time ----------------------------------------------------------------------------------------
// st_mtime in local time packed as a DOS date and time, clamped to 1980-01-01 00:00:00 ..
// 2107-12-31 23:59:58.
int PackDosTime(std::int64_t seconds);

}  // namespace layer_internal
