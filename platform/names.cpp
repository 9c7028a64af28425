// The names the layer delivers for host names: CP932 where the name survives the round trip,
// an ASCII alias in the 8.3 manner otherwise.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/internal.h"

namespace layer_internal {

bool IsPlainAsciiName(std::string_view name) {
  if (name.empty() || name.back() == ' ' || name.back() == '.') return false;
  for (unsigned char c : name)
    if (c > 0x7E || IsForbiddenInName(c)) return false;
  return true;
}

void NameKeys(std::string_view delivered, std::u16string& key, std::u16string& exact) {
  // Printable ASCII is the same code in CP932 and UTF-16: no table, no decoding.
  if (std::all_of(delivered.begin(), delivered.end(),
                  [](char c) { return c >= 0x20 && c <= 0x7E; })) {
    exact.assign(delivered.begin(), delivered.end());
    key = exact;
    for (auto& c : key)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
    return;
  }
  auto cps = DecodeCp932Lenient(delivered);
  key = UpperKey(cps);
  exact = Utf16(cps);
}

bool DeliverUnchanged(std::string_view host, AnsiString& delivered) {
  // Printable ASCII converts to the same bytes and back: most names need no iconv at all.
  if (IsPlainAsciiName(host)) {
    delivered = AnsiString(std::string(host));
    return true;
  }
  std::u32string cps;
  if (!DecodeUtf8(host, cps) || !IsValidWindowsName(cps)) return false;
  auto cp932 = Utf8ToCp932(host);
  if (!cp932) return false;
  auto back = Cp932ToUtf8(*cp932);
  if (!back || *back != host) return false;
  delivered = AnsiString(std::move(*cp932));
  return true;
}

namespace {

std::uint32_t Fnv1a(std::string_view bytes) {
  std::uint32_t h = 2166136261u;
  for (char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

bool IsAliasChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

// What of the host name an alias keeps: up to six plain ASCII characters of the stem and an
// extension of one to eight plain ASCII characters.
void AliasParts(std::string_view host, std::string& stem, std::string& ext) {
  std::size_t dot = host.rfind('.');
  std::string_view stemPart = host;
  if (dot != std::string_view::npos && dot > 0) {
    std::string_view e = host.substr(dot + 1);
    if (!e.empty() && e.size() <= 8 && std::all_of(e.begin(), e.end(), IsAliasChar)) {
      ext.assign(1, '.').append(e);  // "." + string trips a false -Wrestrict of GCC 12 at -O3
      stemPart = host.substr(0, dot);
    }
  }
  for (char c : stemPart) {
    if (stem.size() == 6) break;
    if (IsAliasChar(c)) stem += c;
  }
}

}  // namespace

std::vector<NamedEntry> NameFolder(std::vector<std::string> hostNames) {
  std::vector<NamedEntry> entries;
  entries.reserve(hostNames.size());
  std::vector<std::size_t> needAlias;
  for (auto& host : hostNames) {
    NamedEntry e;
    e.host = std::move(host);
    if (DeliverUnchanged(e.host, e.name)) {
      NameKeys(e.name.Bytes(), e.key, e.exact);
    } else {
      e.alias = true;
      needAlias.push_back(entries.size());
    }
    entries.push_back(std::move(e));
  }
  if (!needAlias.empty()) {
    // Aliases are handed out in the order of the raw names, so collisions resolve the same way
    // on every run.
    std::sort(needAlias.begin(), needAlias.end(), [&entries](std::size_t a, std::size_t b) {
      return entries[a].host < entries[b].host;
    });
    // Only a folder with aliases to hand out needs to know which keys are taken.
    std::set<std::u16string> taken;
    for (const auto& e : entries)
      if (!e.alias) taken.insert(e.key);
    for (std::size_t index : needAlias) {
      NamedEntry& e = entries[index];
      std::string stem, ext;
      AliasParts(e.host, stem, ext);
      std::uint32_t h = Fnv1a(e.host);
      // Four hex digits as 8.3 names have them; when many names crowd one stem, eight, so
      // that the search for a free alias stays short.
      for (std::uint32_t attempt = 0;; ++attempt) {
        char buf[16];
        if (attempt < 16)
          std::snprintf(buf, sizeof buf, "~%04X",
                        static_cast<unsigned>(((h >> 16 ^ h) + attempt) & 0xFFFF));
        else
          std::snprintf(buf, sizeof buf, "~%08X", static_cast<unsigned>(h + attempt - 16));
        std::string alias = stem + buf + ext;
        std::u16string key, exact;
        NameKeys(alias, key, exact);
        if (taken.insert(key).second) {
          e.name = AnsiString(alias);
          e.key = std::move(key);
          e.exact = std::move(exact);
          break;
        }
      }
    }
  }
  std::sort(entries.begin(), entries.end(), EntryOrder{});
  return entries;
}

bool ReadHostNames(int fd, std::vector<std::string>& names) {
  names.clear();
  // getdents64 straight on the fd: a DIR stream would cost three more calls per folder. A
  // folder opened for reading is read from its start; one opened with O_PATH is opened again.
  int dfd = lseek(fd, 0, SEEK_SET) == 0 ? fd : openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return false;
  auto done = [&] {
    if (dfd != fd) close(dfd);
  };
  alignas(dirent64) char buf[32768];
  for (;;) {
    ssize_t n = getdents64(dfd, buf, sizeof buf);
    if (n < 0) {
      int saved = errno;
      done();
      errno = saved;
      return false;
    }
    if (n == 0) break;
    for (ssize_t pos = 0; pos < n;) {
      const auto* d = reinterpret_cast<const dirent64*>(buf + pos);
      pos += d->d_reclen;
      if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
      names.emplace_back(d->d_name);
    }
  }
  done();
  return true;
}

}  // namespace layer_internal
