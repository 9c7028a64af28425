// A test fixture that starts every test from an empty drive table.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/drives.h"
#include "tests/support/drive_fixture.h"
#include "tests/support/host_fixture.h"

class LayerTest : public testing::Test {
 protected:
  void SetUp() override { drives::UnmountAll(); }
  void TearDown() override { drives::UnmountAll(); }

  // Mounts dir (default: the test's temporary folder) as the drive letter.
  void MountDrive(char letter, const std::string& dir, bool readOnly = false) {
    fixture::MountDrive(letter, dir, readOnly);
  }

  fixture::TempDir tmp;
};
