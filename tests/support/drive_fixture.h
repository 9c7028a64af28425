// Mounting a host folder as a drive of the layer, for the tests of every part.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/drives.h"

namespace fixture {

inline void MountDrive(char letter, const std::string& hostPath, bool readOnly = false) {
  DriveConfig config;
  config.letter = letter;
  config.hostPath = hostPath;
  config.readOnly = readOnly;
  std::string error;
  ASSERT_TRUE(drives::Mount(config, &error)) << error;
}

}  // namespace fixture
