// chdir, mkdir and text-mode streams over drives. Creation goes through the folder's fd with
// O_NOFOLLOW, so a planted link makes the call fail instead of writing outside the drive.
#include "platform/crt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/internal.h"

using namespace layer_internal;

namespace rtl {

struct File {
  int fd = -1;
  bool text = true;
  bool failed = false;  // a write did not go through: the file is incomplete
  std::string buffer;
};

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// Checks a name that is to be created and gives its UTF-8 host name; false with errno.
bool CreationName(const std::string& trimmed, std::string& host) {
  if (trimmed.empty() || trimmed == "." || trimmed == "..") {
    errno = EINVAL;
    return false;
  }
  auto utf8 = Cp932ToUtf8(trimmed);
  if (!utf8) {
    errno = EINVAL;
    return false;
  }
  std::u32string cps;
  if (!DecodeUtf8(*utf8, cps) || !IsValidWindowsName(cps)) {
    errno = EINVAL;
    return false;
  }
  if (utf8->size() > 255) {
    errno = ENAMETOOLONG;
    return false;
  }
  host = std::move(*utf8);
  return true;
}

// Resolves the folder and the last name of a path that is to be created or emptied.
bool Prepare(const AnsiString& path, Folder& folder, std::string& name) {
  std::string last;
  if (!ResolveParent(path, folder, last)) return false;
  name = TrimName(last);
  return true;
}

bool WriteAll(File* f, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(f->fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      f->failed = true;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      f->failed = true;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Writes the buffer out; once a write has failed the file is incomplete, and what follows is
// dropped rather than kept in memory.
bool Flush(File* f) {
  bool ok = !f->failed && WriteAll(f, f->buffer.data(), f->buffer.size());
  f->buffer.clear();
  return ok;
}

}  // namespace

int chdir(const AnsiString& path) {
  Folder folder;
  if (!ResolveFolder(path, folder)) return -1;
  SetCurrent(folder);
  return 0;
}

int mkdir(const AnsiString& path) {
  Folder folder;
  std::string name;
  if (!Prepare(path, folder, name)) return -1;
  if (name == "." || name == "..") {
    errno = EEXIST;
    return -1;
  }
  std::string host;
  if (!CreationName(name, host)) return -1;
  NamedEntry existing;
  if (LookupName(folder, name, existing)) {  // in any letter case, as on Windows
    errno = EEXIST;
    return -1;
  }
  if (errno != ENOENT) return -1;
  if (folder.readOnly) {
    errno = EROFS;
    return -1;
  }
  if (::mkdirat(folder.fd.get(), host.c_str(), 0777) != 0) return -1;
  return 0;
}

File* fopen(const AnsiString& path, const char* mode) {
  std::string m = mode ? mode : "";
  if (m != "w" && m != "wt" && m != "wb") {
    errno = EINVAL;
    return nullptr;
  }
  Folder folder;
  std::string name;
  if (!Prepare(path, folder, name)) return nullptr;
  if (name == "." || name == "..") {
    errno = EISDIR;
    return nullptr;
  }
  std::string host;
  if (!CreationName(name, host)) return nullptr;
  NamedEntry existing;
  int fd = -1;
  if (LookupName(folder, name, existing)) {
    struct stat st;
    if (fstatat(folder.fd.get(), existing.host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return nullptr;
    if (S_ISLNK(st.st_mode)) {
      errno = ELOOP;
      return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {  // pipes, sockets and devices are never opened
      errno = EACCES;
      return nullptr;
    }
    if (folder.readOnly) {
      errno = EROFS;
      return nullptr;
    }
    fd = openat(folder.fd.get(), existing.host.c_str(),
                O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || ftruncate(fd, 0) != 0) {
      int saved = errno ? errno : EACCES;
      ::close(fd);
      errno = saved;
      return nullptr;
    }
    fcntl(fd, F_SETFL, 0);
  } else {
    if (errno != ENOENT) return nullptr;
    if (folder.readOnly) {
      errno = EROFS;
      return nullptr;
    }
    fd = openat(folder.fd.get(), host.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
  }
  auto* f = new File;
  f->fd = fd;
  f->text = m != "wb";
  f->buffer.reserve(kBufferSize);
  return f;
}

int fprintf(File* stream, const char* format, ...) {
  if (!stream || !format) {
    errno = EINVAL;
    return -1;
  }
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string text;
  if (n < 0) {
    va_end(copy);
    stream->failed = true;
    return -1;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(n));
  } else {
    text.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, copy);
    text.resize(static_cast<std::size_t>(n));
  }
  va_end(copy);
  for (char c : text) {
    if (c == '\n' && stream->text) stream->buffer += '\r';
    stream->buffer += c;
  }
  if (stream->buffer.size() >= kBufferSize && !Flush(stream)) return -1;
  if (stream->failed) return -1;
  return n;
}

int fclose(File* stream) {
  if (!stream) return EOF;
  bool ok = Flush(stream);
  if (::close(stream->fd) != 0) ok = false;
  ok = ok && !stream->failed;
  delete stream;
  return ok ? 0 : EOF;
}

}  // namespace rtl
