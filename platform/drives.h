// Drive letters mapped to host folders, with the process's current drive and every drive's
// remembered current directory, as Windows keeps them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ansi_string.h"

enum class DriveKind { Removable, Fixed, CdRom, Network, Ram };

struct DriveConfig {
  char letter = 0;                   // 'a'..'z' or 'A'..'Z'
  std::string hostPath;              // must name an existing folder
  std::optional<DriveKind> kind;     // default: Removable for a and b, Fixed otherwise
  std::optional<std::string> label;  // volume name (UTF-8); default: the folder's base name
  bool readOnly = false;             // refuses every creation, emptying or write
};

struct DriveInfo {
  char letter = 0;  // lower case
  DriveKind kind = DriveKind::Fixed;
  AnsiString volumeName;  // CP932
  std::string hostRoot;   // real path of the folder, taken when mounted
  bool readOnly = false;
};

namespace drives {

// Adds a drive; false with a one-line reason in *error (folder missing, letter taken, ...).
bool Mount(const DriveConfig& config, std::string* error);
// Removes every drive and forgets the current drive (tests start from here).
void UnmountAll();
// The drive of that letter (either case), or nullopt.
std::optional<DriveInfo> Find(char letter);
// Every drive, a to z.
std::vector<DriveInfo> List();

// Lower-case letter of the current drive, or 0 when there is none.
char CurrentDrive();
// The current directory as a Windows path ("c:\" style is not used: "C:\WINDOWS"), empty
// when there is no current drive.
AnsiString GetCurrentDir();
// The remembered directory of a drive as a Windows path ("C:\", "C:\WINDOWS").
AnsiString RememberedDir(char letter);

// Sets the start-up current directory from a Windows path such as "a:\" or "c:\WINDOWS";
// false with *error when it does not name a folder.
bool SetStartDirectory(const AnsiString& windowsPath, std::string* error);
// No --cd given: the host's current directory when it lies inside a drive's folder (the
// deepest such drive), otherwise no current drive.
void SetStartDirectoryFromHost();

struct HostIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const HostIdentity&, const HostIdentity&) = default;
};
// Identity on the host of the entry a Windows path names (links not followed), or nullopt.
std::optional<HostIdentity> IdentityOf(const AnsiString& windowsPath);

}  // namespace drives
