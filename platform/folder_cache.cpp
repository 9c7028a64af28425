// The named entries of recently looked-up folders, kept so that creating many files in one
// folder does not name the whole folder again for every file. inotify tells of every change
// made on this machine as the change happens, so a listing is never used after a change it
// does not hold; the folder's times catch what inotify cannot see.
#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/internal.h"

namespace layer_internal {

bool useFolderCache = true;

namespace {

constexpr std::size_t kSlots = 4;
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

struct Slot {
  int wd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  timespec mtime{}, ctime{};
  std::uint64_t used = 0;
  bool changedByEvents = false;  // the times moved with changes the listing has taken in
  FolderListing entries;
};

struct Cache {
  int inotify = -2;  // -2 not opened yet, -1 not available
  std::uint64_t clock = 0;
  std::vector<Slot> slots;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

void Drop(Cache& cache, std::size_t index) {
  if (cache.slots[index].wd >= 0) inotify_rm_watch(cache.inotify, cache.slots[index].wd);
  cache.slots.erase(cache.slots.begin() + static_cast<std::ptrdiff_t>(index));
}

// Adds a new host name to a listing; false when the listing must be made again (the name
// needs an alias, or its delivered name is taken).
bool Insert(Slot& slot, const std::string& host) {
  NamedEntry e;
  e.host = host;
  if (!DeliverUnchanged(host, e.name)) return false;
  NameKeys(e.name.Bytes(), e.key, e.exact);
  // The same host name has the same key, so one lookup by key finds both kinds of clash.
  if (slot.entries.find(e.key) != slot.entries.end()) return false;
  slot.entries.insert(std::move(e));
  return true;
}

// Reads every pending event; a slot that an event cannot be applied to is dropped.
void Drain(Cache& cache) {
  alignas(inotify_event) char buf[16384];
  for (;;) {
    ssize_t n = read(cache.inotify, buf, sizeof buf);
    if (n <= 0) return;  // EAGAIN: nothing more
    // Room left for another event of the longest name: the queue was empty when read.
    const bool emptied =
        static_cast<std::size_t>(n) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof buf;
    for (char* p = buf; p < buf + n;) {
      auto* ev = reinterpret_cast<inotify_event*>(p);
      p += sizeof(inotify_event) + ev->len;
      if (ev->mask & IN_Q_OVERFLOW) {
        while (!cache.slots.empty()) Drop(cache, cache.slots.size() - 1);
        continue;
      }
      auto it = std::find_if(cache.slots.begin(), cache.slots.end(),
                             [ev](const Slot& s) { return s.wd == ev->wd; });
      if (it == cache.slots.end()) continue;
      std::size_t index = static_cast<std::size_t>(it - cache.slots.begin());
      bool keep = false;
      if ((ev->mask & (IN_CREATE | IN_MOVED_TO)) && ev->len > 0) keep = Insert(*it, ev->name);
      // Removals may hand an alias to another entry: name the folder again.
      if (keep)
        it->changedByEvents = true;
      else
        Drop(cache, index);
    }
    if (emptied) return;
  }
}

// The slot of the folder with status st when its listing is still current; a slot that is not
// is dropped.
Slot* CurrentSlot(Cache& cache, const struct stat& st) {
  Drain(cache);
  ++cache.clock;
  for (std::size_t i = 0; i < cache.slots.size(); ++i) {
    Slot& slot = cache.slots[i];
    if (slot.dev != st.st_dev || slot.ino != st.st_ino) continue;
    if (slot.changedByEvents) {
      slot.mtime = st.st_mtim;
      slot.ctime = st.st_ctim;
      slot.changedByEvents = false;
    }
    if (SameTime(slot.mtime, st.st_mtim) && SameTime(slot.ctime, st.st_ctim)) {
      slot.used = cache.clock;
      return &slot;
    }
    // Changed without an event that explains it (another machine, say): name it again.
    Drop(cache, i);
    break;
  }
  return nullptr;
}

}  // namespace

const FolderListing* CachedFolderNames(int fd, const struct stat* known) {
  Cache& cache = TheCache();
  if (!useFolderCache || cache.inotify < 0 || cache.slots.empty()) return nullptr;
  struct stat st;
  if (known)
    st = *known;
  else if (fstat(fd, &st) != 0)
    return nullptr;
  // Events only ever drop slots: without one for this folder now, there is none after them.
  auto held = [&st](const Slot& slot) { return slot.dev == st.st_dev && slot.ino == st.st_ino; };
  if (std::none_of(cache.slots.begin(), cache.slots.end(), held)) return nullptr;
  Slot* slot = CurrentSlot(cache, st);
  return slot ? &slot->entries : nullptr;
}

const FolderListing* FolderNames(int fd, FolderListing& scratch, const struct stat* known) {
  auto list = [&]() -> const FolderListing* {
    std::vector<std::string> hosts;
    if (!ReadHostNames(fd, hosts)) return nullptr;
    scratch.clear();
    for (auto& e : NameFolder(std::move(hosts))) scratch.insert(scratch.end(), std::move(e));
    return &scratch;
  };
  Cache& cache = TheCache();
  if (!useFolderCache) return list();
  if (cache.inotify == -2) cache.inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (cache.inotify < 0) return list();
  struct stat st;
  if (known)
    st = *known;
  else if (fstat(fd, &st) != 0)
    return nullptr;
  if (Slot* slot = CurrentSlot(cache, st)) return &slot->entries;
  if (cache.slots.size() == kSlots) {
    auto oldest = std::min_element(cache.slots.begin(), cache.slots.end(),
                                   [](const Slot& a, const Slot& b) { return a.used < b.used; });
    Drop(cache, static_cast<std::size_t>(oldest - cache.slots.begin()));
  }
  // Watch first, then list, so that no change falls between the two.
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  int wd = inotify_add_watch(cache.inotify, path, kEvents);
  if (wd < 0) return list();
  for (std::size_t i = 0; i < cache.slots.size(); ++i)
    if (cache.slots[i].wd == wd) {  // the same folder under another fd: one slot per watch
      cache.slots.erase(cache.slots.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  if (fstat(fd, &st) != 0 || !list()) {
    inotify_rm_watch(cache.inotify, wd);
    return nullptr;
  }
  Slot slot;
  slot.wd = wd;
  slot.dev = st.st_dev;
  slot.ino = st.st_ino;
  slot.mtime = st.st_mtim;
  slot.ctime = st.st_ctim;
  slot.used = cache.clock;
  slot.entries = std::move(scratch);
  cache.slots.push_back(std::move(slot));
  return &cache.slots.back().entries;
}

}  // namespace layer_internal
