// Small helpers that build fixture trees on the host for the tests.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace fixture {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + rel
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

 private:
  std::string path_;
};

// Local time (the process's TZ) as a time_t.
std::time_t LocalTime(int year, int month, int day, int hour = 0, int min = 0, int sec = 0);

// Creates the folder and any missing parents (host path, UTF-8 or raw bytes).
void MakeDirs(const std::string& path);
// Creates or replaces a file holding size bytes (sparse beyond its content), parents made.
void WriteFile(const std::string& path, std::int64_t size = 0, const std::string& content = "");
// Sets the last-write time (and access time) without following a link.
void SetMtime(const std::string& path, std::time_t when);
// Sets user.DOSATTRIB to value exactly as given (e.g. "0x22", or with a trailing NUL).
void SetDosAttrib(const std::string& path, const std::string& value);
// Reads a whole host file as bytes.
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);  // lstat succeeds

}  // namespace fixture
