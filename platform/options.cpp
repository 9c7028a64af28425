// The layer's command-line options: drives, the start directory and the short date pattern.
#include "platform/options.h"

#include <sys/stat.h>

#include <optional>

#include "platform/drives.h"
#include "platform/internal.h"
#include "platform/sysutils.h"

namespace layer {

namespace {

std::optional<DriveKind> KindOf(const std::string& word) {
  if (word == "removable") return DriveKind::Removable;
  if (word == "fixed") return DriveKind::Fixed;
  if (word == "cdrom") return DriveKind::CdRom;
  if (word == "network") return DriveKind::Network;
  if (word == "ram") return DriveKind::Ram;
  return std::nullopt;
}

bool ParseDrive(const std::string& value, DriveConfig& config, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = "--drive " + value + ": " + why;
    return false;
  };
  if (value.size() < 3 || value[1] != '=' ||
      !((value[0] >= 'a' && value[0] <= 'z') || (value[0] >= 'A' && value[0] <= 'Z')))
    return fail("expected L=PATH[,KIND][,label=NAME][,readonly] with L a letter a to z");
  config.letter = static_cast<char>(value[0] | 0x20);
  std::vector<std::string> parts;
  std::size_t start = 2;
  for (;;) {
    std::size_t comma = value.find(',', start);
    parts.push_back(value.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  config.hostPath = parts[0];
  if (config.hostPath.empty()) return fail("the folder is missing after '='");
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (auto kind = KindOf(p)) {
      if (config.kind) return fail("the drive kind is given twice");
      config.kind = kind;
    } else if (p.rfind("label=", 0) == 0) {
      if (config.label) return fail("the label is given twice");
      config.label = p.substr(6);
      if (!Utf8ToCp932(*config.label))
        return fail("the label cannot be written in code page 932; choose another label");
    } else if (p == "readonly") {
      config.readOnly = true;
    } else {
      return fail("unknown item '" + p +
                  "'; use removable, fixed, cdrom, network, ram, label=NAME or readonly");
    }
  }
  struct stat st;
  if (stat(config.hostPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return fail("folder " + config.hostPath + " does not exist; give an existing folder");
  return true;
}

}  // namespace

bool ApplyOptions(std::vector<std::string>& args, std::string* error) {
  std::vector<DriveConfig> configs;
  std::optional<std::string> cd;
  std::optional<std::string> dateFormat;
  std::vector<std::string> rest;
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string name = a, value;
    bool inlineValue = false;
    if (a.rfind("--", 0) == 0) {
      std::size_t eq = a.find('=');
      if (eq != std::string::npos) {
        name = a.substr(0, eq);
        value = a.substr(eq + 1);
        inlineValue = true;
      }
    }
    if (name != "--drive" && name != "--cd" && name != "--short-date-format") {
      rest.push_back(a);
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) return fail(name + " needs a value; see --help");
      value = args[++i];
    }
    if (name == "--drive") {
      DriveConfig config;
      if (!ParseDrive(value, config, error)) return false;
      for (const auto& c : configs)
        if (c.letter == config.letter)
          return fail(std::string("--drive: drive ") + config.letter +
                      ": is given twice; give each letter once");
      configs.push_back(std::move(config));
    } else if (name == "--cd") {
      if (cd) return fail("--cd is given twice; give one start directory");
      cd = value;
    } else {
      if (dateFormat) return fail("--short-date-format is given twice; give one pattern");
      if (!Utf8ToCp932(value))
        return fail("--short-date-format " + value + ": cannot be written in code page 932");
      dateFormat = value;
    }
  }
  for (const auto& c : configs)
    if (drives::Find(c.letter))
      return fail(std::string("--drive: drive ") + c.letter + ": exists already");
  std::optional<AnsiString> cdPath;
  if (cd) {
    auto bytes = Utf8ToCp932(*cd);
    if (!bytes) return fail("--cd " + *cd + ": cannot be written in code page 932");
    cdPath = AnsiString(std::move(*bytes));
  }

  // Everything is checked that can be checked without the drives; from here on a failure
  // puts the drive table back as it was.
  auto* saved = layer_internal::SaveDrives();
  for (const auto& c : configs) {
    std::string why;
    if (!drives::Mount(c, &why)) {
      layer_internal::RestoreDrives(saved);
      return fail("--drive: " + why);
    }
  }
  if (cdPath) {
    std::string why;
    if (!drives::SetStartDirectory(*cdPath, &why)) {
      layer_internal::RestoreDrives(saved);
      return fail(why);
    }
  } else if (!configs.empty()) {
    drives::SetStartDirectoryFromHost();
  }
  layer_internal::FreeSnapshot(saved);
  if (dateFormat) ShortDateFormat = AnsiString::FromUtf8(*dateFormat);
  args = std::move(rest);
  return true;
}

const char* OptionsHelp() {
  return "  --drive L=PATH[,KIND][,label=NAME][,readonly]  map drive L: to the host folder PATH;\n"
         "      KIND is removable, fixed, cdrom, network or ram (default removable for a and b,\n"
         "      fixed otherwise); label=NAME sets the volume name; readonly refuses every write;\n"
         "      PATH and NAME cannot hold a comma\n"
         "  --cd PATH                   start in the Windows folder PATH, such as c:\\WINDOWS\n"
         "  --short-date-format PATTERN short date pattern (default yy/mm/dd)\n";
}

}  // namespace layer
