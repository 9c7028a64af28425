#include "tests/support/host_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fixture {

namespace fs = std::filesystem;

namespace {
[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::system_error(errno, std::generic_category(), what + " " + path);
}
}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/korvel-test-XXXXXX";
  if (!::mkdtemp(templ.data())) Fail("mkdtemp", templ);
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Fixtures may hold read-only folders; make everything writable before removing it.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
  }
  fs::remove_all(path_, ec);
}

std::time_t LocalTime(int year, int month, int day, int hour, int min, int sec) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = min;
  tm.tm_sec = sec;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

void MakeDirs(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec) throw std::system_error(ec, "mkdir " + path);
}

void WriteFile(const std::string& path, std::int64_t size, const std::string& content) {
  const auto parent = fs::path(path).parent_path();
  if (!parent.empty()) MakeDirs(parent.string());
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
  if (fd < 0) Fail("open", path);
  if (!content.empty() &&
      ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
    ::close(fd);
    Fail("write", path);
  }
  const auto want = std::max<std::int64_t>(size, static_cast<std::int64_t>(content.size()));
  if (::ftruncate(fd, static_cast<off_t>(want)) != 0) {
    ::close(fd);
    Fail("ftruncate", path);
  }
  ::close(fd);
}

void SetMtime(const std::string& path, std::time_t when) {
  timespec times[2] = {{when, 0}, {when, 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) Fail("utimensat", path);
}

void SetDosAttrib(const std::string& path, const std::string& value) {
  if (::setxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) != 0)
    Fail("setxattr", path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("read", path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace fixture
